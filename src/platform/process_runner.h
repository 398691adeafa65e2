// Runs one external tool at a time and hands its output lines and its end to the owner's thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/result.h"
#include "platform/unique_fd.h"

namespace vidoria {

// How long Stop lets a tool end on SIGTERM before it is killed.
inline constexpr std::chrono::milliseconds kStopGrace{250};
// The pause between passes of a pumping wait.
inline constexpr std::chrono::milliseconds kPumpTick{100};

// Starts a process with stdin on /dev/null and stdout and stderr into one pipe, in a process
// group of its own so that Stop ends it together with its children. A reader thread splits the
// output into lines (OutputLines) and notices the end; both are queued and handed to the
// handlers only by Pump, on the thread that calls it.
//
// Start, Stop, Pump, Running and the destructor belong to one thread (the owner's, normally the
// main thread); handlers run on it, inside Pump, and may call Start and Stop.
class ProcessRunner {
 public:
  using LineHandler = std::function<void(const std::string& line)>;
  // The exit status; 128 + the signal's number when a signal ended the process (as shells
  // report it); -1 when the status could not be learnt (SIGCHLD ignored by the process).
  using EndHandler = std::function<void(int exitCode)>;

  explicit ProcessRunner(LineHandler onLine = {}, EndHandler onEnd = {});
  ProcessRunner(const ProcessRunner&) = delete;
  ProcessRunner& operator=(const ProcessRunner&) = delete;
  ~ProcessRunner();  // Stop(); undelivered lines and the end are dropped

  // argv[0] is the program's path; without a '/' it is looked up on PATH. Fails with
  // "cannot start <argv[0]>" and the system's reason when the program cannot be started
  // (missing, not executable, not a program, no thread to read its output); then nothing runs.
  // Throws std::logic_error when a run is still in progress and std::invalid_argument for an empty
  // argv: those are misuse.
  OsStatus Start(const std::vector<std::string>& argv);

  // True from a successful Start until Pump has handed out the end of that run.
  bool Running() const { return running_; }

  // Ends the process and its group at once: SIGTERM, and SIGKILL when it has not ended after
  // kStopGrace. Returns when the process has ended; its end still comes through Pump. Does
  // nothing when the process has already ended. Only our own child's group is signalled.
  void Stop();

  // Hands queued lines and then the end to the handlers, in order.
  void Pump();

 private:
  struct Event {
    bool end = false;
    std::string line;
    int exitCode = 0;
  };

  void ReadUntilEnd();
  int Reap();
  void Queue(std::vector<std::string>& lines);
  void JoinReader();

  const LineHandler onLine_;
  const EndHandler onEnd_;
  bool running_ = false;  // owner's thread only

  // Set by Start before the reader thread starts, read-only while it runs.
  pid_t pid_ = -1;
  UniqueFd outputFd_;
  UniqueFd
      pidFd_;  // invalid when the kernel offers no pidfd: the end is then seen at end of output
  std::thread reader_;

  std::mutex mu_;  // guards everything below
  std::condition_variable reapedCv_;
  bool reaped_ = false;
  std::deque<Event> events_;
};

// The pumping wait: while busy(), pump() and pause kPumpTick, so that the caller's timers,
// clicks and runners keep being served. Returns as soon as busy() is false after a pump.
void WaitWhile(const std::function<bool()>& busy, const std::function<void()>& pump,
               std::chrono::milliseconds tick = kPumpTick);

}  // namespace vidoria
