#include "platform/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "platform/process_runner_output.h"

extern char** environ;

namespace vidoria {

namespace {

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

// Owns the spawn attributes for the length of one posix_spawn call.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;

  explicit SpawnSetup(int outputFd) {
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDERR_FILENO);

    posix_spawnattr_init(&attributes);
    // The program may ignore or block signals (a server ignores SIGPIPE); a tool must not
    // inherit that, or Stop's SIGTERM and a closed pipe would not end it.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal :
         {SIGPIPE, SIGTERM, SIGINT, SIGQUIT, SIGHUP, SIGCHLD, SIGALRM, SIGUSR1, SIGUSR2}) {
      sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
};

}  // namespace

ProcessRunner::ProcessRunner(LineHandler onLine, EndHandler onEnd)
    : onLine_(std::move(onLine)), onEnd_(std::move(onEnd)) {}

ProcessRunner::~ProcessRunner() {
  Stop();
  JoinReader();
}

OsStatus ProcessRunner::Start(const std::vector<std::string>& argv) {
  if (running_) throw std::logic_error("ProcessRunner::Start: the previous run has not ended");
  if (argv.empty()) throw std::invalid_argument("ProcessRunner::Start: no program given");
  JoinReader();

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return OsError{"cannot start " + argv[0], errno};
  UniqueFd readEnd(pipeFds[0]);
  UniqueFd writeEnd(pipeFds[1]);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  // glibc's posix_spawn waits until the child has exec'd, so a missing or non-executable
  // program is reported here and not as an exit status later.
  pid_t pid = -1;
  int error;
  {
    SpawnSetup setup(writeEnd.Get());
    const bool onPath = argv[0].find('/') == std::string::npos;
    error =
        onPath
            ? ::posix_spawnp(&pid, args[0], &setup.actions, &setup.attributes, args.data(), environ)
            : ::posix_spawn(&pid, args[0], &setup.actions, &setup.attributes, args.data(), environ);
  }
  // The child has its own copy; the end of output comes when it is gone. Nothing was written
  // through this one, so a failed close loses nothing.
  static_cast<void>(writeEnd.Close());
  if (error != 0) return OsError{"cannot start " + argv[0], error};

  pid_ = pid;
  outputFd_ = std::move(readEnd);
  pidFd_ = UniqueFd(OpenPidFd(pid));
  {
    std::lock_guard lock(mu_);
    reaped_ = false;
    events_.clear();
  }
  try {
    reader_ = std::thread(&ProcessRunner::ReadUntilEnd, this);
  } catch (const std::system_error& error) {
    // Without a reader nobody would notice its end: take the child back down.
    ::kill(-pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    outputFd_ = UniqueFd();
    pidFd_ = UniqueFd();
    return OsError{"cannot start " + argv[0], error.code().value()};
  }
  running_ = true;
  return OsOk();
}

void ProcessRunner::Stop() {
  if (!reader_.joinable()) return;
  {
    std::unique_lock lock(mu_);
    // Until it is reaped the child's pid, and so its group id, cannot belong to anyone else.
    if (!reaped_) {
      ::kill(-pid_, SIGTERM);
      if (!reapedCv_.wait_for(lock, kStopGrace, [this] { return reaped_; })) {
        ::kill(-pid_, SIGKILL);
        reapedCv_.wait(lock, [this] { return reaped_; });
      }
    }
  }
  // The end is queued right after the reaping; once joined, Pump will find it.
  JoinReader();
}

void ProcessRunner::Pump() {
  for (;;) {
    Event event;
    {
      std::lock_guard lock(mu_);
      if (events_.empty()) return;
      event = std::move(events_.front());
      events_.pop_front();
    }
    // One event at a time, so that a handler that pumps again keeps the order.
    if (event.end) {
      running_ = false;
      if (onEnd_) onEnd_(event.exitCode);
    } else if (onLine_) {
      onLine_(event.line);
    }
  }
}

void ProcessRunner::ReadUntilEnd() {
  OutputLines splitter;
  std::vector<std::string> lines;
  bool endOfOutput = false;
  bool exited = false;
  char buffer[4096];
  while (!exited && !(endOfOutput && !pidFd_.Valid())) {
    pollfd fds[2];
    nfds_t count = 0;
    if (!endOfOutput) fds[count++] = {outputFd_.Get(), POLLIN, 0};
    if (pidFd_.Valid()) fds[count++] = {pidFd_.Get(), POLLIN, 0};
    if (::poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (!endOfOutput && fds[0].revents != 0) {
      const ssize_t got = ::read(outputFd_.Get(), buffer, sizeof buffer);
      if (got > 0) {
        splitter.Feed(std::string_view(buffer, static_cast<size_t>(got)), lines);
      } else if (got == 0 || errno != EINTR) {
        endOfOutput = true;
      }
    }
    exited = pidFd_.Valid() && fds[count - 1].revents != 0;
    Queue(lines);
  }
  // What the tool wrote before it ended is still in the pipe. Children it left behind may keep
  // the pipe open, so take only what is there now.
  if (!endOfOutput) {
    ::fcntl(outputFd_.Get(), F_SETFL, ::fcntl(outputFd_.Get(), F_GETFL) | O_NONBLOCK);
    ssize_t got;
    while ((got = ::read(outputFd_.Get(), buffer, sizeof buffer)) > 0 ||
           (got < 0 && errno == EINTR)) {
      if (got > 0) splitter.Feed(std::string_view(buffer, static_cast<size_t>(got)), lines);
    }
  }
  splitter.Finish(lines);
  Queue(lines);
  const int exitCode = Reap();
  std::lock_guard lock(mu_);
  events_.push_back({true, {}, exitCode});
}

int ProcessRunner::Reap() {
  // Wait for the end without reaping, so that Stop can still signal the group meanwhile.
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) != 0 &&
         errno == EINTR) {
  }
  int status = 0;
  pid_t reaped;
  {
    std::lock_guard lock(mu_);
    while ((reaped = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
    }
    reaped_ = true;
  }
  reapedCv_.notify_all();
  if (reaped != pid_) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

void ProcessRunner::Queue(std::vector<std::string>& lines) {
  if (lines.empty()) return;
  std::lock_guard lock(mu_);
  for (std::string& line : lines) events_.push_back({false, std::move(line), 0});
  lines.clear();
}

void ProcessRunner::JoinReader() {
  if (reader_.joinable()) reader_.join();
  outputFd_ = UniqueFd();
  pidFd_ = UniqueFd();
}

void WaitWhile(const std::function<bool()>& busy, const std::function<void()>& pump,
               std::chrono::milliseconds tick) {
  while (busy()) {
    if (pump) pump();
    if (!busy()) return;
    std::this_thread::sleep_for(tick);
  }
}

}  // namespace vidoria
