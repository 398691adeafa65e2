#include "app/preview_player.h"

namespace vidoria {

PreviewPlayer::PreviewPlayer(QObject* parent) : QObject(parent) {
  connect(&runner_, &PlayerRunner::Line, this, [this](const QString& line) {
    const QByteArray bytes = line.toUtf8();
    if (status_.Take(std::string_view(bytes.constData(), bytes.size()))) changed_ = true;
  });
  // One status per hand-over: the player prints its clock many times a second.
  connect(&runner_, &PlayerRunner::LinesDelivered, this, [this] {
    if (!changed_) return;
    changed_ = false;
    const std::string& text = status_.Text();
    emit Status(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  });
  connect(&runner_, &PlayerRunner::Ended, this, &PreviewPlayer::Ended);
}

bool PreviewPlayer::Play(const QString& dataFolder, const QString& path) {
  status_.Start();
  changed_ = false;
  return runner_.Play(dataFolder, path);
}

}  // namespace vidoria
