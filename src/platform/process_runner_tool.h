// One of the program's two tool runners (the fast-start helper, the preview player) together
// with its busy flag.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/process_runner.h"

namespace vidoria {

// Busy() is set before a start and cleared when the run's end is handed out (before onEnd
// runs), or at once when the start fails or throws, so that nobody waits for a tool that never
// ran.
// Owner's (main) thread only, like ProcessRunner.
class ToolRunner {
 public:
  explicit ToolRunner(ProcessRunner::LineHandler onLine = {}, ProcessRunner::EndHandler onEnd = {});
  ToolRunner(const ToolRunner&) = delete;
  ToolRunner& operator=(const ToolRunner&) = delete;

  // Remembers the command line (CommandLine) and starts. Fails and throws as
  // ProcessRunner::Start does; std::logic_error while busy.
  OsStatus Start(const std::vector<std::string>& argv);
  bool Busy() const { return busy_; }
  // The last started command line, quoted as the window shows it.
  const std::string& CommandLine() const { return commandLine_; }

  // Ends the tool at once; Busy() clears when its end is pumped.
  void Stop() { runner_.Stop(); }
  void Pump() { runner_.Pump(); }

  // The pumping wait for this tool: while Busy(), pump() (the window's events; may be empty)
  // and this runner, then pause `tick`.
  void Wait(const std::function<void()>& pump, std::chrono::milliseconds tick = kPumpTick);

 private:
  const ProcessRunner::LineHandler onLine_;
  const ProcessRunner::EndHandler onEnd_;
  bool busy_ = false;
  std::string commandLine_;
  ProcessRunner runner_;  // last: its handlers use the members above
};

}  // namespace vidoria
