#include "app/player_runner.h"

#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace vidoria {

PlayerRunner::PlayerRunner(QObject* parent) : QObject(parent) {}

PlayerRunner::~PlayerRunner() {
  if (process_ == nullptr) return;
  process_->disconnect(this);
  Stop();
  process_->waitForFinished(-1);
}

bool PlayerRunner::Play(const QString& dataFolder, const QString& path) {
  return Start(dataFolder + QStringLiteral("mplayer"), {QStringLiteral("-v"), path});
}

bool PlayerRunner::Start(const QString& program, const QStringList& arguments) {
  if (process_ != nullptr) {
    Stop();
    // Its end arrives through ProcessEnded, inside this wait, before anything new starts.
    process_->waitForFinished(-1);
  }

  auto* process = new QProcess(this);
  process->setProgram(program);
  process->setArguments(arguments);
  process->setProcessChannelMode(QProcess::MergedChannels);
  process->setStandardInputFile(QProcess::nullDevice());
  // A group of its own, so that Stop reaches whatever the player starts.
  process->setChildProcessModifier([] { ::setpgid(0, 0); });
  process->start(QIODevice::ReadOnly);
  if (!process->waitForStarted(-1)) {
    errorText_ = QStringLiteral("Cannot start %1: %2").arg(program, process->errorString());
    delete process;
    return false;
  }
  errorText_.clear();
  splitter_ = OutputLines();
  process_ = process;
  busy_ = true;
  connect(process, &QProcess::readyRead, this, &PlayerRunner::ReadOutput);
  connect(process, &QProcess::finished, this, &PlayerRunner::ProcessEnded);
  return true;
}

void PlayerRunner::Stop() {
  if (process_ == nullptr || process_->state() == QProcess::NotRunning) return;
  // Not yet reaped while the state says running, so the group id is still ours.
  const qint64 pid = process_->processId();
  if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
}

void PlayerRunner::ReadOutput() {
  const QByteArray bytes = process_->readAll();
  std::vector<std::string> lines;
  splitter_.Feed(std::string_view(bytes.constData(), bytes.size()), lines);
  Emit(lines);
}

void PlayerRunner::ProcessEnded() {
  ReadOutput();
  std::vector<std::string> lines;
  splitter_.Finish(lines);
  Emit(lines);
  process_->deleteLater();
  process_ = nullptr;
  busy_ = false;
  emit Ended();
}

void PlayerRunner::Emit(std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    emit Line(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
  }
}

}  // namespace vidoria
