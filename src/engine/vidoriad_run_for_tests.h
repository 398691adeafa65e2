// Test fixture for vidoriad's commands: the real program run to its end in a temporary home, with
// its arguments, its standard input and working folder, and what it wrote; and the data folder's
// state, to show that a refused command changed nothing.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/engine_fixture.h"
#include "server/test_client.h"

namespace vidoria::testing {

struct VidoriadRun {
  int exitCode = -1;
  std::string out, err;
};

class VidoriadCommandTest : public VidoriadTest {
 protected:
  ~VidoriadCommandTest() override {
    for (const pid_t pid : serving_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  // Starts vidoriad with `args` in the environment `environment` (only that), its descriptors and
  // folder set up by `actions`.
  static pid_t SpawnVidoriad(const std::vector<std::string>& args,
                             std::vector<std::string> environment,
                             const posix_spawn_file_actions_t& actions) {
    const std::string program = VIDORIAD_PATH;
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    return pid;
  }

  // Runs `vidoriad ARGS...` in `cwd` (the home when empty) with `input` as standard input.
  VidoriadRun Vidoriad(const std::vector<std::string>& args, const std::string& input = "",
                       const fs::path& cwd = {}) {
    const fs::path io = home_ / ("io" + std::to_string(runs_++));
    fs::create_directories(io);
    Write(io / "in", input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, (io / "in").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (io / "out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (io / "err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string folder = (cwd.empty() ? home_ : cwd).string();
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    const pid_t pid =
        SpawnVidoriad(args, {"HOME=" + home_.string(), "PATH=/usr/bin:/bin"}, actions);
    posix_spawn_file_actions_destroy(&actions);
    VidoriadRun run;
    run.exitCode = WaitExit(pid);
    run.out = Read(io / "out");
    run.err = Read(io / "err");
    fs::remove_all(io);
    return run;
  }

  // Runs `vidoriad ARGS...` on a terminal of its own (a pseudo-terminal as its standard input,
  // output and error). Each step waits until the program has written `after` (since the previous
  // step's point) and then types `typed`. `out` is everything the terminal showed.
  struct Typing {
    std::string after, typed;
  };
  VidoriadRun VidoriadOnTerminal(const std::vector<std::string>& args,
                                 const std::vector<Typing>& steps = {}) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_GE(master, 0);
    EXPECT_EQ(::grantpt(master), 0);
    EXPECT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {0, 1, 2}) {
      posix_spawn_file_actions_addopen(&actions, fd, terminal.c_str(), O_RDWR | O_NOCTTY, 0);
    }
    const std::string folder = home_.string();
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    const pid_t pid =
        SpawnVidoriad(args, {"HOME=" + home_.string(), "PATH=/usr/bin:/bin", "TERM=dumb"}, actions);
    posix_spawn_file_actions_destroy(&actions);

    VidoriadRun run;
    size_t step = 0, seen = 0;
    // Read until the program has closed its side; a guard of a minute against a hang.
    for (int round = 0; round < 600; ++round) {
      pollfd ready{master, POLLIN, 0};
      if (::poll(&ready, 1, 100) > 0) {
        char buffer[4096];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) break;  // EIO once every holder of the terminal's side has gone
        run.out.append(buffer, static_cast<size_t>(n));
      }
      if (step < steps.size()) {
        const size_t at = run.out.find(steps[step].after, seen);
        if (at != std::string::npos) {
          seen = at + steps[step].after.size();
          EXPECT_EQ(::write(master, steps[step].typed.data(), steps[step].typed.size()),
                    static_cast<ssize_t>(steps[step].typed.size()));
          ++step;
        }
      }
    }
    EXPECT_EQ(step, steps.size()) << run.out;
    ::close(master);
    run.exitCode = WaitExit(pid);
    return run;
  }

  // Starts the server on `port` (stored in the settings) and waits until it serves, has stored
  // its first generation of the library and has logged the end of every connection: from then
  // on it writes nothing by itself.
  void StartServing(int port) {
    Write(data_ / "settings.kavra", SettingsText(port));
    serving_.push_back(Spawn());
    for (int i = 0; i < 3000 && !(ServesHomePage(port) && fs::exists(data_ / "LIBRARY.kavra"));
         ++i) {
      std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(ServesHomePage(port));
    for (int i = 0; i < 3000 && !LogQuiet(); ++i) std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(LogQuiet());
  }
  int StopServing() {
    const pid_t pid = serving_.back();
    serving_.pop_back();
    ::kill(pid, SIGTERM);
    return WaitExit(pid);
  }

 private:
  int runs_ = 0;
  std::vector<pid_t> serving_;
};

}  // namespace vidoria::testing
