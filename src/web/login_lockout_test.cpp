#include "web/login_lockout.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace vidoria {
namespace {

using namespace std::chrono_literals;

// A clock the test moves by hand.
class LoginLockoutTest : public ::testing::Test {
 protected:
  LoginLockout::Clock TestClock() {
    return [this] { return LoginLockout::TimePoint{} + 1h + seconds_.load() * 1s; };
  }
  std::atomic<int64_t> seconds_{0};
};

enum class Op { kFail, kLocked, kSucceed };

struct Step {
  int at;  // seconds since the case began
  Op op;
  const char* address;
  bool expected = false;  // Failed(): locked by this failure; Locked(): locked now
};

struct Case {
  const char* name;
  std::vector<Step> steps;
};

const Case kCases[] = {
    {"FifthFailureLocksForOneMinuteAndChecksDoNotProlongIt",
     {{0, Op::kFail, "a"},
      {10, Op::kFail, "a"},
      {20, Op::kFail, "a"},
      {30, Op::kFail, "a"},
      {30, Op::kLocked, "a", false},
      {40, Op::kFail, "a", true},
      {40, Op::kLocked, "a", true},
      {70, Op::kLocked, "a", true},
      {99, Op::kLocked, "a", true},
      {100, Op::kLocked, "a", false}}},
    {"FailuresSpreadWiderThanTheWindowDoNotLock",
     {{0, Op::kFail, "a"},
      {150, Op::kFail, "a"},
      {300, Op::kFail, "a"},
      {450, Op::kFail, "a"},
      {600, Op::kFail, "a", false},  // the first is exactly ten minutes old: it no longer counts
      {600, Op::kLocked, "a", false},
      {601, Op::kFail, "a", true}}},
    {"TenQuietMinutesStartTheCountAfresh",
     {{0, Op::kFail, "a"},
      {1, Op::kFail, "a"},
      {2, Op::kFail, "a"},
      {3, Op::kFail, "a"},
      {603, Op::kFail, "a", false},
      {604, Op::kFail, "a", false},
      {605, Op::kFail, "a", false},
      {606, Op::kFail, "a", false},
      {607, Op::kFail, "a", true}}},
    {"OtherAddressesAreNotAffected",
     {{0, Op::kFail, "a"},
      {0, Op::kFail, "a"},
      {0, Op::kFail, "a"},
      {0, Op::kFail, "a"},
      {0, Op::kFail, "b"},
      {0, Op::kFail, "a", true},
      {1, Op::kLocked, "b", false},
      {1, Op::kFail, "b", false},
      {1, Op::kLocked, "a", true},
      {1, Op::kLocked, "10.0.0.1", false}}},
    {"CorrectLoginForgetsTheFailures",
     {{0, Op::kFail, "a"},
      {0, Op::kFail, "a"},
      {0, Op::kFail, "a"},
      {0, Op::kFail, "a"},
      {1, Op::kSucceed, "a"},
      {2, Op::kFail, "a", false},
      {2, Op::kFail, "a", false},
      {2, Op::kFail, "a", false},
      {2, Op::kFail, "a", false},
      {2, Op::kFail, "a", true}}},
    {"WrongLoginAfterALockoutLocksAgainWhileTheOldFailuresCount",
     {{0, Op::kFail, "a"},
      {1, Op::kFail, "a"},
      {2, Op::kFail, "a"},
      {3, Op::kFail, "a"},
      {4, Op::kFail, "a", true},
      {64, Op::kLocked, "a", false},
      {70, Op::kFail, "a", true},
      {129, Op::kLocked, "a", true},
      {130, Op::kLocked, "a", false}}},
};

TEST_F(LoginLockoutTest, CountsFailuresPerAddressWithinTheWindow) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    LoginLockout lockout(TestClock());
    seconds_ = 0;
    for (const Step& step : c.steps) {
      SCOPED_TRACE(std::to_string(step.at) + "s " + step.address);
      seconds_ = step.at;
      switch (step.op) {
        case Op::kFail:
          EXPECT_EQ(lockout.Failed(step.address), step.expected);
          break;
        case Op::kLocked:
          EXPECT_EQ(lockout.Locked(step.address), step.expected);
          break;
        case Op::kSucceed:
          lockout.Succeeded(step.address);
          break;
      }
    }
  }
}

TEST_F(LoginLockoutTest, RemembersAtMostItsCapacityDroppingExpiredThenLeastRecent) {
  LoginLockout lockout(TestClock(), 3);
  for (int i = 0; i < 4; ++i) lockout.Failed("a");
  seconds_ = 1;
  lockout.Failed("b");
  lockout.Failed("c");
  seconds_ = 2;
  lockout.Failed("d");
  EXPECT_EQ(lockout.Remembered(), 3u);
  EXPECT_FALSE(lockout.Failed("a")) << "a, the least recent, was dropped with its four failures";
  EXPECT_EQ(lockout.Remembered(), 3u);

  // An attacker cycling through addresses keeps the table at its size.
  for (int i = 0; i < 10000; ++i)
    lockout.Failed("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256));
  EXPECT_EQ(lockout.Remembered(), 3u);

  // Ten quiet minutes later every entry has expired; the next failure drops them all.
  seconds_ = 2 + 600;
  lockout.Failed("e");
  EXPECT_EQ(lockout.Remembered(), 1u);
  lockout.Succeeded("e");
  EXPECT_EQ(lockout.Remembered(), 0u);
}

// Request threads count failures at once; under ThreadSanitizer this also checks the locking.
TEST_F(LoginLockoutTest, ConcurrentFailuresAreAllCounted) {
  LoginLockout lockout(TestClock(), 64);
  std::atomic<int> locks{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        if (lockout.Failed("shared")) ++locks;
        lockout.Failed("own" + std::to_string(t) + "_" + std::to_string(i % 100));
        lockout.Locked("shared");
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_TRUE(lockout.Locked("shared"));
  // All 800 failures fall in one instant: from the fifth on, each one locks (again).
  EXPECT_EQ(locks.load(), 800 - (LoginLockout::kFailuresToLock - 1));
  EXPECT_LE(lockout.Remembered(), 64u);
}

}  // namespace
}  // namespace vidoria
