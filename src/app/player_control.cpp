#include "app/player_control.h"

namespace vidoria {

PlayerControl::PlayerControl(Engine& engine, Dialogs& dialogs,
                             std::vector<QToolButton*> stopButtons, QObject* parent)
    : QObject(parent), engine_(engine), dialogs_(dialogs), stopButtons_(std::move(stopButtons)) {
  connect(&runner_, &PlayerRunner::Line, this, &PlayerControl::Line);
  connect(&runner_, &PlayerRunner::Ended, this, &PlayerControl::Ended);
}

void PlayerControl::Play(std::vector<std::string> paths) {
  waiting_.assign(paths.begin(), paths.end());
  PlayNext();
}

void PlayerControl::Stop() {
  waiting_.clear();
  if (runner_.Busy()) runner_.Stop();
}

void PlayerControl::PlayNext() {
  if (waiting_.empty()) return;
  const std::string path = waiting_.front();
  waiting_.pop_front();
  status_.Start();
  starting_ = true;
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
  engine_.Status().Show(status_.Take(line.toStdString()));
  emit StatusChanged();
}

void PlayerControl::Ended() {
  for (QToolButton* button : stopButtons_) button->setEnabled(false);
  engine_.Status().Clear();
  emit StatusChanged();
  if (!starting_) PlayNext();
}

}  // namespace vidoria
