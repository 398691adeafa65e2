// Test fixtures for the engine and the headless program: a temporary home holding the
// companion's data folder, stored files written by hand, and vidoriad run as its own process.
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/program_home_for_tests.h"
#include "library/cipher.h"
#include "server/test_client.h"

namespace vidoria::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Ticks at `now` until the running scan pass has ended: its walk runs on a thread of its own,
// and the ticks add the rows.
inline void TickUntilScanned(Engine& engine, Engine::Clock::time_point now) {
  while (engine.Scanning()) {
    engine.Tick(now);
    if (engine.Scanning()) std::this_thread::sleep_for(1ms);
  }
}

// A temporary home with the companion's data folder, and an environment that points at it.
class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    home_ = fs::path(::testing::TempDir()) /
            ("engine" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(home_);
    data_ = home_ / ".local/share/Kelvane3";
    fs::create_directories(data_);
    // Tests stay off the network: a started server shares with TVs only where a test says so.
    Write(data_ / "sharing.kavra", "Share OFF\r\n");
    env_ = {{"HOME", home_.string()}};
  }
  ~EngineTest() override { fs::remove_all(home_); }
  // After the test body, whose engine (and its server) is gone by then.
  void TearDown() override { core_.Shutdown(); }

  EngineOptions Options() {
    EngineOptions options;
    options.env = [this](const char* name) {
      auto it = env_.find(name);
      return it == env_.end() ? std::string() : it->second;
    };
    options.core = &core_;
    options.reportError = [this](const std::string& message) { errors_.push_back(message); };
    return options;
  }
  static void Write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Every connection in the web log closed: from then on an idle program writes nothing.
  bool LogQuiet() const {
    bool any = false;
    for (const auto& log : fs::directory_iterator(data_ / "LOG")) {
      if (!Read(log.path()).ends_with(" [0 open]\r\n")) return false;
      any = true;
    }
    return any;
  }
  // A program answers its home page on `port`.
  static bool ServesHomePage(int port) {
    TestClient client(std::to_string(port));
    if (!client.Connected()) return false;
    client.Send("GET / HTTP/1.1\r\n\r\n");
    return client.ReadUntil("\r\n").starts_with("HTTP/1.1 200 ");
  }

  // Every entry under the data folder with its inode, modification time and bytes, so that a
  // file rewritten with the same bytes shows as well as a new, moved or removed one.
  std::map<std::string, std::string> DataFolderState() const {
    std::map<std::string, std::string> state;
    for (const auto& entry : fs::recursive_directory_iterator(data_)) {
      struct stat st {};
      ::lstat(entry.path().c_str(), &st);
      std::string& line = state[fs::relative(entry.path(), data_).string()];
      line = std::to_string(st.st_ino) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
             std::to_string(st.st_mtim.tv_nsec);
      if (entry.is_regular_file()) line += " " + Read(entry.path());
    }
    return state;
  }

  static int FreePort() { return FreeLoopbackPort(); }
  static std::string SettingsText(int port, const std::string& autorun = "Autorun OFF") {
    return StoredSettingsText(port, autorun);
  }

  inline static int counter = 0;
  fs::path home_, data_;
  std::map<std::string, std::string> env_;
  std::vector<std::string> errors_;
  CoreRuntime core_;
};

#ifdef VIDORIAD_PATH
// The headless program, run as a user would: its own process, a temporary home, signals. Only
// in test targets built beside the program, which name it in VIDORIAD_PATH.
class VidoriadTest : public EngineTest {
 protected:
  pid_t Spawn(int stdoutFd = -1) {
    const std::string program = std::string(VIDORIAD_PATH);
    std::vector<std::string> environment = {"HOME=" + home_.string(), "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, 2);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  static int WaitExit(pid_t pid) {
    int status = 0;
    for (int i = 0; i < 1000; ++i) {
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(10ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
  }
};
#endif  // VIDORIAD_PATH

}  // namespace vidoria::testing
