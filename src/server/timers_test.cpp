#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "server/timers.h"
#include "server/worker_pool.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;
using Clock = Timers::Clock;

// Timers driven by a hand-moved clock: the test plays the notifier and delivers every system
// tick itself, so minutes pass in microseconds and every tick is accounted for.
class ManualTimersTest : public ::testing::Test {
 protected:
  Clock::time_point now_ = Clock::time_point{} + 1h;
  Timers timers_{[this] { return now_; }};
  std::vector<Clock::duration> fired_;  // times since start at which the callback ran
  Clock::time_point start_ = now_;

  Timers::Callback Record() {
    return [this] { fired_.push_back(now_ - start_); };
  }
  // Moves the clock forward step by step, delivering due ticks at every step, as a notifier
  // that wakes for each tick would; `each` runs after every step.
  void Advance(Clock::duration total, Clock::duration step,
               const std::function<void()>& each = {}) {
    for (Clock::duration done{}; done < total; done += step) {
      now_ += step;
      timers_.DeliverDue();
      if (each) each();
    }
  }
};

TEST_F(ManualTimersTest, TimerKeptAliveByResetsFiresOnceLeftAlone) {
  TimerId id = timers_.Create();
  timers_.Enable(id, 60s, false, false, Record());
  Advance(10min, 1s, [&] { timers_.Reset(id); });
  EXPECT_TRUE(fired_.empty()) << "reset more often than its interval";
  // The last reset at 10 min put the deadline on the tick at 11 min.
  Advance(90s, 1s);
  EXPECT_EQ(fired_, (std::vector<Clock::duration>{11min}));
}

// The owner's lock-free postponement moves the deadline exactly as Reset does, and arming the
// timer again forgets it.
TEST_F(ManualTimersTest, PostponementActsAsResetAndArmingForgetsIt) {
  TimerId id = timers_.Create();
  Timers::Postponement* postponement = timers_.PostponementOf(id);
  ASSERT_NE(postponement, nullptr);
  auto postpone = [&] { postponement->store((timers_.Now() + 60s).time_since_epoch().count()); };
  timers_.Enable(id, 60s, false, false, Record());
  Advance(10min, 1s, postpone);
  EXPECT_TRUE(fired_.empty()) << "postponed more often than its interval";
  Advance(90s, 1s);
  EXPECT_EQ(fired_, (std::vector<Clock::duration>{11min}));

  // Postponed far ahead, then armed with a short interval: the short one counts.
  fired_.clear();
  start_ = now_;
  postponement->store((timers_.Now() + 1h).time_since_epoch().count());
  timers_.Enable(id, 5s, false, false, Record());
  Advance(6s, 1s);
  EXPECT_EQ(fired_, (std::vector<Clock::duration>{5s}));
  timers_.Stop(id);
  EXPECT_EQ(timers_.PostponementOf(id), nullptr);
}

TEST_F(ManualTimersTest, FiresAtFirstTickAtOrAfterTheDeadline) {
  struct Case {
    const char* name;
    Clock::duration resetAt;  // zero: never reset
    Clock::duration firstFire;
  };
  // Ticks come every 60 s from the moment of enabling; a reset only moves the deadline.
  const Case cases[] = {
      {"not reset: first tick", 0s, 60s},
      {"reset at 30 s: deadline 90 s, next tick 120 s", 30s, 120s},
      {"reset at 59 s: deadline 119 s", 59s, 120s},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fired_.clear();
    start_ = now_;
    TimerId id = timers_.Create();
    timers_.Enable(id, 60s, false, false, Record());
    Advance(150s, 1s, [&] {
      if (c.resetAt != 0s && now_ - start_ == c.resetAt) timers_.Reset(id);
    });
    ASSERT_FALSE(fired_.empty());
    EXPECT_EQ(fired_.front(), c.firstFire);
    timers_.Stop(id);
  }
}

TEST_F(ManualTimersTest, RepeatingAutoDisableAndAutoDestroy) {
  struct Case {
    const char* name;
    bool autoDisable, autoDestroy;
    size_t fires;
    bool enabledAfter, existsAfter;
  };
  const Case cases[] = {
      {"repeating", false, false, 5, true, true},
      {"auto-disable fires once, stays registered", true, false, 1, false, true},
      {"auto-destroy fires once with auto-disable and is gone", true, true, 1, false, false},
      {"auto-destroy alone is gone after its first tick", false, true, 1, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fired_.clear();
    TimerId id = timers_.Create();
    timers_.Enable(id, 10s, c.autoDisable, c.autoDestroy, Record());
    Advance(55s, 1s);
    EXPECT_EQ(fired_.size(), c.fires);
    EXPECT_EQ(timers_.Enabled(id), c.enabledAfter);
    EXPECT_EQ(timers_.Exists(id), c.existsAfter);
    timers_.Stop(id);
  }
  EXPECT_EQ(timers_.Count(), 0u);
}

TEST_F(ManualTimersTest, DisabledStoppedAndReArmedTimers) {
  TimerId disabled = timers_.Create(), stopped = timers_.Create(), rearmed = timers_.Create();
  timers_.Enable(disabled, 10s, false, false, [] { FAIL() << "disabled timer fired"; });
  timers_.Enable(stopped, 10s, false, false, [] { FAIL() << "stopped timer fired"; });
  timers_.Enable(rearmed, 10s, false, false, [] { FAIL() << "old arming fired"; });
  Advance(5s, 1s);
  timers_.Disable(disabled);
  timers_.Stop(stopped);
  // Re-arming with a new interval restarts the period now: no tick at 10 s, first at 5 + 20 s.
  timers_.Enable(rearmed, 20s, false, false, Record());
  Advance(30s, 1s);
  EXPECT_EQ(fired_, (std::vector<Clock::duration>{25s}));
  timers_.Reset(disabled);  // a reset of a disabled timer does not arm it
  Advance(30s, 1s);
  EXPECT_FALSE(timers_.Enabled(disabled));
  EXPECT_FALSE(timers_.Exists(stopped));
  timers_.Reset(stopped);  // unknown ids are ignored
}

// A burst of connections each arms and stops an idle timer; their ticks must not stay behind
// (nor keep their storage) for a whole interval, and the timers still running must keep theirs.
TEST_F(ManualTimersTest, TicksOfStoppedTimersDoNotPileUp) {
  TimerId kept = timers_.Create();
  timers_.Enable(kept, 60s, false, false, Record());
  for (int wave = 0; wave < 3; ++wave) {
    std::vector<TimerId> burst;
    for (int i = 0; i < 5000; ++i) {
      burst.push_back(timers_.Create());
      timers_.Enable(burst.back(), 300s, false, false, [] { FAIL() << "a stopped timer fired"; });
      timers_.Enable(burst.back(), 200s, false, false, [] { FAIL() << "a re-armed timer fired"; });
    }
    for (TimerId id : burst) timers_.Stop(id);
    EXPECT_LT(timers_.PendingTicks(), 200u) << "wave " << wave;
  }
  Advance(150s, 1s);
  EXPECT_EQ(fired_, (std::vector<Clock::duration>{60s, 120s}));
}

// An idle timer changes its interval with every phase of a connection and keeps one callback.
TEST_F(ManualTimersTest, RestartKeepsTheCallbackGivenAtCreateOrByTheLastEnable) {
  TimerId id = timers_.Create(Record());
  timers_.Restart(id, 10s);
  Advance(15s, 1s);
  timers_.Restart(id, 30s);  // the period starts again, with the new interval
  Advance(45s, 1s);
  EXPECT_EQ(fired_, (std::vector<Clock::duration>{10s, 45s}));
  int replaced = 0;
  timers_.Enable(id, 5s, false, false, [&] { ++replaced; });
  timers_.Restart(id, 20s);
  Advance(20s, 1s);
  EXPECT_EQ(replaced, 1);
  EXPECT_EQ(fired_.size(), 2u);
}

TEST_F(ManualTimersTest, TicksMissedByALateNotifierCollapseIntoOne) {
  TimerId id = timers_.Create();
  timers_.Enable(id, 1s, false, false, Record());
  now_ += 10500ms;
  timers_.DeliverDue();
  EXPECT_EQ(fired_.size(), 1u);
  EXPECT_EQ(timers_.NextTick(), start_ + 11s);
}

TEST_F(ManualTimersTest, JobTimerPostsAFreshJobToTheTailOfItsQueue) {
  WorkerPool pool;
  auto queue = pool.CreateQueue();
  std::atomic<int> ran{0};
  TimerId id = timers_.Create();
  timers_.EnableJob(
      id, 1s, false, false, [&] { return MakeJob([&](JobQueue&) { ++ran; }); }, queue);
  Advance(3s, 1s);
  for (int i = 0; i < 400 && ran < 3; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(ran, 3);

  // A tick for a queue that has finished posts nothing and does not fail.
  queue->PostQuit();
  for (int i = 0; i < 400 && queue->Registered(); ++i) std::this_thread::sleep_for(5ms);
  Advance(2s, 1s);
  queue.reset();
  Advance(2s, 1s);
  EXPECT_EQ(ran, 3);
}

TEST_F(ManualTimersTest, CallbackMayStopOrReArmItsOwnTimer) {
  TimerId id = timers_.Create();
  int calls = 0;
  timers_.Enable(id, 1s, false, false, [&] {
    if (++calls == 2) timers_.Stop(id);
  });
  Advance(5s, 1s);
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace vidoria
