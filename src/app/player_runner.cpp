#include "app/player_runner.h"

#include <chrono>
#include <string>
#include <vector>

#include "platform/result.h"

namespace vidoria {

PlayerRunner::PlayerRunner(QObject* parent) : QObject(parent) {
  process_ = std::make_unique<ProcessRunner>(
      [this](const std::string& line) {
        ++delivered_;
        emit Line(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
      },
      [this](int) { ended_ = true; });
  pumpTimer_.setInterval(kPumpMs);
  connect(&pumpTimer_, &QTimer::timeout, this, &PlayerRunner::Pump);
}

PlayerRunner::~PlayerRunner() {
  pumpTimer_.stop();
  process_.reset();  // ends the player; its lines and end are dropped
}

bool PlayerRunner::Play(const QString& dataFolder, const QString& path) {
  return Start(dataFolder + QStringLiteral("mplayer"), {QStringLiteral("-v"), path});
}

bool PlayerRunner::Start(const QString& program, const QStringList& arguments) {
  if (busy_) {
    Stop();
    // Stop returns once the player has ended; its last lines and its end reach us through the
    // pump, before anything new starts.
    WaitWhile([this] { return busy_; }, [this] { Pump(); }, std::chrono::milliseconds(1));
  }
  std::vector<std::string> argv{program.toStdString()};
  for (const QString& argument : arguments) argv.push_back(argument.toStdString());
  if (OsStatus started = process_->Start(argv); !started) {
    errorText_ = QStringLiteral("Cannot start %1: %2")
                     .arg(program, QString::fromStdString(ErrnoText(started.Error().code)));
    return false;
  }
  errorText_.clear();
  busy_ = true;
  pumpTimer_.start();
  return true;
}

void PlayerRunner::Stop() {
  if (busy_) process_->Stop();
}

void PlayerRunner::Pump() {
  ended_ = false;
  delivered_ = 0;
  process_->Pump();
  if (delivered_ > 0) emit LinesDelivered();
  if (!ended_) return;
  busy_ = false;
  pumpTimer_.stop();
  emit Ended();
}

}  // namespace vidoria
