#include "platform/process_runner_tool.h"

#include <stdexcept>

#include "platform/process_runner_command_line.h"

namespace vidoria {

ToolRunner::ToolRunner(ProcessRunner::LineHandler onLine, ProcessRunner::EndHandler onEnd)
    : onLine_(std::move(onLine)),
      onEnd_(std::move(onEnd)),
      runner_(
          [this](const std::string& line) {
            if (onLine_) onLine_(line);
          },
          [this](int exitCode) {
            busy_ = false;
            if (onEnd_) onEnd_(exitCode);
          }) {}

OsStatus ToolRunner::Start(const std::vector<std::string>& argv) {
  if (busy_ || runner_.Running()) throw std::logic_error("ToolRunner::Start: the tool is busy");
  commandLine_ = BuildCommandLine(argv);
  busy_ = true;
  try {
    OsStatus started = runner_.Start(argv);
    if (!started) busy_ = false;
    return started;
  } catch (...) {
    busy_ = false;
    throw;
  }
}

void ToolRunner::Wait(const std::function<void()>& pump, std::chrono::milliseconds tick) {
  WaitWhile([this] { return busy_; },
            [this, &pump] {
              if (pump) pump();
              runner_.Pump();
            },
            tick);
}

}  // namespace vidoria
