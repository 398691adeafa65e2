#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/process_runner.h"
#include "platform/process_runner_tool.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A temp folder for small shell scripts that stand in for the tools, and what a runner reports.
class ProcessRunnerTest : public ::testing::Test {
 protected:
  ProcessRunnerTest() {
    std::string pattern = (fs::temp_directory_path() / "vidoria-runner-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
  }
  ~ProcessRunnerTest() override { fs::remove_all(folder_); }

  std::string Script(const std::string& name, const std::string& body) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }

  ProcessRunner::LineHandler OnLine() {
    return [this](const std::string& line) { lines_.push_back(line); };
  }
  ProcessRunner::EndHandler OnEnd() {
    return [this](int code) { ends_.push_back(code); };
  }

  // Pumps until the run's end has been handed out.
  static void PumpToEnd(ProcessRunner& runner, std::chrono::milliseconds limit = 10s) {
    const auto deadline = Clock::now() + limit;
    while (runner.Running() && Clock::now() < deadline) {
      runner.Pump();
      std::this_thread::sleep_for(5ms);
    }
    ASSERT_FALSE(runner.Running()) << "no end within " << limit.count() << " ms";
  }

  // A process that has ended: gone, or a zombie nobody has reaped yet.
  static bool Ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string ignored, state;
    if (!(stat >> ignored)) return true;
    std::getline(stat, ignored, ')');
    stat >> state;
    return state == "Z";
  }
  static bool EndsWithin(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!Ended(pid)) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }
  pid_t ReadPid(const std::string& file) {
    const auto deadline = Clock::now() + 5s;
    pid_t pid = 0;
    while (Clock::now() < deadline) {
      std::ifstream in(file);
      if (in >> pid) return pid;
      std::this_thread::sleep_for(5ms);
    }
    ADD_FAILURE() << "no pid in " << file;
    return 0;
  }

  std::string folder_;
  std::vector<std::string> lines_;
  std::vector<int> ends_;
};

TEST_F(ProcessRunnerTest, OutputLinesAndExitCodeArriveOnlyThroughPump) {
  ProcessRunner runner(OnLine(), OnEnd());
  ASSERT_TRUE(runner.Start({Script("tool", R"(printf 'one\ntwo\r\nthree\rfour\033[J\r'
echo "to stderr" >&2
read input || echo "no input"
exit 3
)"),
                            "ignored argument"}));
  EXPECT_TRUE(runner.Running());
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(lines_.empty());
  EXPECT_TRUE(ends_.empty());
  EXPECT_TRUE(runner.Running()) << "the end has not been handed out yet";

  PumpToEnd(runner);
  EXPECT_EQ(lines_,
            (std::vector<std::string>{"one", "two", "three", "four", "to stderr", "no input"}));
  EXPECT_EQ(ends_, std::vector<int>{3});
}

TEST_F(ProcessRunnerTest, ArgumentsArePassedAsGivenAndLongOutputIsComplete) {
  ProcessRunner runner(OnLine(), OnEnd());
  ASSERT_TRUE(runner.Start(
      {Script("tool", "printf '[%s]\\n' \"$@\"\nseq 1 100000\n"), "a b", "", "\"q\"$x"}));
  PumpToEnd(runner);
  ASSERT_EQ(lines_.size(), 3u + 100000u);
  EXPECT_EQ(lines_[0], "[a b]");
  EXPECT_EQ(lines_[1], "[]");
  EXPECT_EQ(lines_[2], "[\"q\"$x]");
  EXPECT_EQ(lines_.back(), "100000");
  EXPECT_EQ(ends_, std::vector<int>{0});
}

TEST_F(ProcessRunnerTest, EndIsReportedWhenTheToolExitsEvenIfItsChildKeepsTheOutputOpen) {
  const std::string pidFile = folder_ + "/child.pid";
  ProcessRunner runner(OnLine(), OnEnd());
  ASSERT_TRUE(runner.Start(
      {Script("tool", "sleep 30 &\necho $! > \"$1\"\necho started\nexit 5\n"), pidFile}));
  PumpToEnd(runner, 3s);
  EXPECT_EQ(lines_, std::vector<std::string>{"started"});
  EXPECT_EQ(ends_, std::vector<int>{5});
  ::kill(ReadPid(pidFile), SIGKILL);
}

TEST_F(ProcessRunnerTest, StopEndsTheToolAndItsChildrenAtOnce) {
  const struct {
    const char* body;
    int code;
  } cases[] = {
      {"sleep 30 &\necho $! > \"$1\"\nwait\n", 128 + SIGTERM},
      // Ignoring SIGTERM (the child inherits that) only buys the grace period.
      {"trap '' TERM\nsleep 30 &\necho $! > \"$1\"\nwait\n", 128 + SIGKILL},
  };
  for (const auto& c : cases) {
    lines_.clear();
    ends_.clear();
    const std::string pidFile = folder_ + "/child.pid";
    fs::remove(pidFile);
    ProcessRunner runner(OnLine(), OnEnd());
    ASSERT_TRUE(runner.Start({Script("tool", c.body), pidFile}));
    const pid_t child = ReadPid(pidFile);

    const auto before = Clock::now();
    runner.Stop();
    EXPECT_LT(Clock::now() - before, kStopGrace + 1500ms) << c.body;
    EXPECT_TRUE(EndsWithin(child, 2s)) << c.body;
    EXPECT_TRUE(runner.Running()) << "until the end is pumped";
    runner.Pump();
    EXPECT_FALSE(runner.Running());
    EXPECT_EQ(ends_, std::vector<int>{c.code}) << c.body;
    runner.Stop();  // nothing left to end
  }
}

TEST_F(ProcessRunnerTest, ToolsGetDefaultSignalHandlingWhateverTheProgramIgnores) {
  struct sigaction ignore = {};
  struct sigaction saved = {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGTERM, &ignore, &saved);
  ProcessRunner runner(OnLine(), OnEnd());
  ASSERT_TRUE(runner.Start({Script("tool", "sleep 30\n")}));
  runner.Stop();
  runner.Pump();
  ::sigaction(SIGTERM, &saved, nullptr);
  EXPECT_EQ(ends_, std::vector<int>{128 + SIGTERM});
}

TEST_F(ProcessRunnerTest, DestroyingTheRunnerEndsItsTool) {
  const std::string pidFile = folder_ + "/child.pid";
  pid_t child = 0;
  {
    ProcessRunner runner(OnLine(), OnEnd());
    ASSERT_TRUE(runner.Start({Script("tool", "sleep 30 &\necho $! > \"$1\"\nwait\n"), pidFile}));
    child = ReadPid(pidFile);
  }
  EXPECT_TRUE(EndsWithin(child, 2s));
  EXPECT_TRUE(ends_.empty()) << "handlers are not called after the owner is gone";
}

TEST_F(ProcessRunnerTest, AProgramThatCannotStartGivesTheSystemsReason) {
  const std::string notExecutable = folder_ + "/plain.txt";
  std::ofstream(notExecutable) << "echo hi\n";
  const struct {
    std::string program;
    int error;
  } cases[] = {
      {folder_ + "/missing", ENOENT},
      {notExecutable, EACCES},
      {folder_, EACCES},
      {"vidoria-no-such-program-on-path", ENOENT},
  };
  for (const auto& c : cases) {
    ProcessRunner runner(OnLine(), OnEnd());
    const OsStatus started = runner.Start({c.program});
    ASSERT_FALSE(started) << c.program << " started";
    EXPECT_EQ(started.Error().code, c.error) << c.program;
    EXPECT_EQ(started.Error().what, "cannot start " + c.program);
    EXPECT_FALSE(runner.Running());
  }
}

TEST_F(ProcessRunnerTest, OneRunAtATime) {
  ProcessRunner runner(OnLine(), OnEnd());
  EXPECT_THROW(runner.Start({}), std::invalid_argument);
  const std::string tool = Script("tool", "echo run\n");
  ASSERT_TRUE(runner.Start({tool}));
  EXPECT_THROW(runner.Start({tool}), std::logic_error);
  PumpToEnd(runner);
  ASSERT_TRUE(runner.Start({tool}));  // the same runner runs the next tool
  PumpToEnd(runner);
  EXPECT_EQ(lines_, (std::vector<std::string>{"run", "run"}));
  EXPECT_EQ(ends_, (std::vector<int>{0, 0}));
}

TEST_F(ProcessRunnerTest, AnEndHandlerMayStartTheNextRun) {
  const std::string tool = Script("tool", "echo \"$1\"\n");
  int runs = 0;
  ProcessRunner* self = nullptr;
  ProcessRunner runner(OnLine(), [&](int) {
    if (++runs < 3) {
      EXPECT_TRUE(self->Start({tool, std::to_string(runs)}));
    }
  });
  self = &runner;
  ASSERT_TRUE(runner.Start({tool, "0"}));
  const auto deadline = Clock::now() + 10s;
  while (runs < 3 && Clock::now() < deadline) {
    runner.Pump();
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(lines_, (std::vector<std::string>{"0", "1", "2"}));
}

TEST_F(ProcessRunnerTest, ToolRunnerIsBusyFromStartUntilItsEndIsPumped) {
  std::vector<bool> busyAtEnd;
  ToolRunner* self = nullptr;
  ToolRunner helper(OnLine(), [&](int code) {
    busyAtEnd.push_back(self->Busy());
    ends_.push_back(code);
  });
  self = &helper;
  const std::string tool = Script("my tool", "sleep 0.3\necho done\n");
  ASSERT_TRUE(helper.Start({tool, "/v/in put.mp4"}));
  EXPECT_TRUE(helper.Busy());
  EXPECT_EQ(helper.CommandLine(), "\"" + tool + "\" \"/v/in put.mp4\"");
  int windowPumps = 0;
  helper.Wait([&] { ++windowPumps; }, 10ms);
  EXPECT_FALSE(helper.Busy());
  EXPECT_GT(windowPumps, 5) << "the window is served while the tool runs";
  EXPECT_EQ(lines_, std::vector<std::string>{"done"});
  EXPECT_EQ(busyAtEnd, std::vector<bool>{false});
  EXPECT_EQ(ends_, std::vector<int>{0});
}

TEST_F(ProcessRunnerTest, ToolRunnerThatCannotStartIsNotBusy) {
  ToolRunner player(OnLine(), OnEnd());
  EXPECT_EQ(player.Start({folder_ + "/mplayer", "-v", "/v/a.mp4"}).Error().code, ENOENT);
  EXPECT_FALSE(player.Busy());
  player.Wait({});  // returns at once: nothing to wait for
  EXPECT_TRUE(ends_.empty());
}

TEST_F(ProcessRunnerTest, ToolRunnerRefusesASecondStartWhileBusy) {
  ToolRunner helper(OnLine(), OnEnd());
  const std::string tool = Script("tool", "sleep 30\n");
  ASSERT_TRUE(helper.Start({tool}));
  EXPECT_THROW(helper.Start({tool}), std::logic_error);
  EXPECT_TRUE(helper.Busy());
  helper.Stop();
  helper.Wait({}, 1ms);
  EXPECT_FALSE(helper.Busy());
  EXPECT_EQ(ends_, std::vector<int>{128 + SIGTERM});
}

}  // namespace
}  // namespace vidoria
