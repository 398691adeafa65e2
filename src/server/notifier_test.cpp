#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include <sys/epoll.h>

#include <gtest/gtest.h>

#include "server/notifier.h"
#include "server/worker_pool.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;

template <class Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds timeout = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

TEST(NotifierTest, ArmingATimerStartsTheThreadThatDeliversItsTicks) {
  Notifier notifier;
  EXPECT_FALSE(notifier.Running());
  std::promise<bool> onNotifier;
  TimerId id = notifier.GetTimers().Create();
  notifier.GetTimers().Enable(id, 20ms, true, true,
                              [&] { onNotifier.set_value(notifier.OnNotifierThread()); });
  EXPECT_TRUE(notifier.Running());
  auto fired = onNotifier.get_future();
  ASSERT_EQ(fired.wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(fired.get());
  EXPECT_FALSE(notifier.OnNotifierThread());
}

TEST(NotifierTest, ReadinessReachesTheHandlerUntilUnwatched) {
  Notifier notifier;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::atomic<int> calls{0};
  std::atomic<uint32_t> lastEvents{0};
  WatchId id = notifier.Watch(fds[0], EPOLLIN, [&](uint32_t events) {
    char buf[16];
    [[maybe_unused]] auto n = ::read(fds[0], buf, sizeof buf);
    lastEvents = events;
    ++calls;
  });
  ASSERT_EQ(::write(fds[1], "x", 1), 1);
  EXPECT_TRUE(WaitFor([&] { return calls == 1; }));
  EXPECT_TRUE(lastEvents & EPOLLIN);

  notifier.Unwatch(id);
  ASSERT_EQ(::write(fds[1], "y", 1), 1);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(calls, 1);
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(NotifierTest, TickBecomesAJobOnItsQueue) {
  WorkerPool pool;
  Notifier notifier;
  auto queue = pool.CreateQueue();
  std::promise<bool> ranOnWorker;
  TimerId id = notifier.GetTimers().Create();
  notifier.GetTimers().EnableJob(
      id, 10ms, true, true,
      [&] {
        return MakeJob([&](JobQueue& q) {
          ranOnWorker.set_value(q.Runner() == std::this_thread::get_id() &&
                                !notifier.OnNotifierThread());
        });
      },
      queue);
  auto future = ranOnWorker.get_future();
  ASSERT_EQ(future.wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(future.get());
}

TEST(NotifierTest, StopsAndStartsAgainKeepingItsTimers) {
  Notifier notifier;
  std::atomic<int> fired{0};
  TimerId id = notifier.GetTimers().Create();
  notifier.GetTimers().Enable(id, 10ms, false, false, [&] { ++fired; });
  EXPECT_TRUE(WaitFor([&] { return fired > 0; }));
  notifier.Stop();
  EXPECT_FALSE(notifier.Running());
  int stopped = fired;
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(fired, stopped);
  notifier.Start();
  EXPECT_TRUE(WaitFor([&] { return fired > stopped; }));
}

// Readiness threads: one report per arm, and a handler that blocks does not stall other watches.
TEST(NotifierTest, OneShotWatchReportsOncePerArmOnAReadinessThread) {
  Notifier notifier;
  int a[2], b[2];
  ASSERT_EQ(::pipe(a), 0);
  ASSERT_EQ(::pipe(b), 0);
  std::atomic<int> callsA{0}, callsB{0};
  std::atomic<bool> onNotifier{false};
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  // Never reads: the pipe stays readable, so a level report would repeat without the one-shot.
  WatchId idA = notifier.WatchOneShot(a[0], EPOLLIN, [&](uint32_t) {
    if (notifier.OnNotifierThread()) onNotifier = true;
    if (++callsA == 2) released.wait();  // blocks its readiness thread
  });
  WatchId idB = notifier.WatchOneShot(b[0], EPOLLIN, [&](uint32_t) { ++callsB; });
  ASSERT_EQ(::write(a[1], "x", 1), 1);
  EXPECT_TRUE(WaitFor([&] { return callsA == 1; }));
  // B is served meanwhile; A, still readable, is not reported again before its Rearm.
  ASSERT_EQ(::write(b[1], "y", 1), 1);
  EXPECT_TRUE(WaitFor([&] { return callsB == 1; }));
  EXPECT_EQ(callsA, 1);

  notifier.Rearm(idA, EPOLLIN);
  EXPECT_TRUE(WaitFor([&] { return callsA == 2; }));
  // With A's readiness thread held in its handler, B is still served, again and again.
  for (int i = 2; i <= 4; ++i) {
    notifier.Rearm(idB, EPOLLIN);
    EXPECT_TRUE(WaitFor([&] { return callsB == i; })) << "report " << i;
  }
  EXPECT_FALSE(onNotifier);
  release.set_value();
  notifier.Unwatch(idA);
  notifier.Unwatch(idB);
  notifier.Stop();
  for (int fd : {a[0], a[1], b[0], b[1]}) ::close(fd);
}

}  // namespace
}  // namespace vidoria
