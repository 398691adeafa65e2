#include "app/player_control.h"

namespace vidoria {

PlayerControl::PlayerControl(Engine& engine, Dialogs& dialogs,
                             std::vector<QToolButton*> stopButtons, QObject* parent)
    : QObject(parent), engine_(engine), dialogs_(dialogs), stopButtons_(std::move(stopButtons)) {
  connect(&runner_, &PlayerRunner::Line, this, &PlayerControl::Line);
  connect(&runner_, &PlayerRunner::LinesDelivered, this, &PlayerControl::LinesDelivered);
  connect(&runner_, &PlayerRunner::Ended, this, &PlayerControl::Ended);
}

void PlayerControl::Play(std::vector<std::string> paths) {
  waiting_.assign(paths.begin(), paths.end());
  PlayNext();
}

void PlayerControl::Stop() {
  waiting_.clear();
  stopped_ = true;
  if (runner_.Busy()) runner_.Stop();
}

void PlayerControl::PlayNext() {
  if (waiting_.empty()) return;
  const std::string path = waiting_.front();
  waiting_.pop_front();
  status_.Start();
  changed_ = false;
  starting_ = true;
  stopped_ = false;
  playing_ = path;
  lastLine_.clear();
  const bool started =
      runner_.Play(QString::fromStdString(engine_.DataFolder()), QString::fromStdString(path));
  starting_ = false;
  if (!started) {
    waiting_.clear();
    dialogs_.ShowError(runner_.ErrorText());
  }
}

void PlayerControl::Line(const QString& line) {
  for (QToolButton* button : stopButtons_) button->setEnabled(true);
  if (!line.trimmed().isEmpty()) lastLine_ = line.trimmed().toStdString();
  if (status_.Take(line.toStdString())) changed_ = true;
}

void PlayerControl::LinesDelivered() {
  if (!changed_) return;
  changed_ = false;
  engine_.Status().Show(status_.Text());
  emit StatusChanged();
}

void PlayerControl::Ended() {
  for (QToolButton* button : stopButtons_) button->setEnabled(false);
  engine_.Status().Clear();
  emit StatusChanged();
  if (starting_) return;  // ended to make way for the next file
  if (!stopped_ && !status_.SawPosition()) {
    QString text = QStringLiteral("The player ended without playing %1.")
                       .arg(QString::fromStdString(playing_));
    if (!lastLine_.empty()) text += QStringLiteral("\n") + QString::fromStdString(lastLine_);
    // From the event loop, not from inside the process's end.
    QMetaObject::invokeMethod(
        this, [this, text] { dialogs_.ShowError(text); }, Qt::QueuedConnection);
  }
  PlayNext();
}

}  // namespace vidoria
