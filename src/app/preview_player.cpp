#include "app/preview_player.h"

namespace vidoria {

PreviewPlayer::PreviewPlayer(QObject* parent) : QObject(parent) {
  connect(&runner_, &PlayerRunner::Line, this, [this](const QString& line) {
    const QByteArray bytes = line.toUtf8();
    const std::string text = status_.Take(std::string_view(bytes.constData(), bytes.size()));
    emit Status(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  });
  connect(&runner_, &PlayerRunner::Ended, this, &PreviewPlayer::Ended);
}

bool PreviewPlayer::Play(const QString& dataFolder, const QString& path) {
  status_.Start();
  return runner_.Play(dataFolder, path);
}

}  // namespace vidoria
