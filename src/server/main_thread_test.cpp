#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "server/exceptions.h"
#include "server/main_thread.h"
#include "server/worker_pool.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;

TEST(SyncTest, HandlerRunsOnTheMainThreadWhileTheWorkerWaits) {
  LoopMainThread main;
  WorkerPool pool;
  auto queue = pool.CreateQueue();
  const auto mainId = std::this_thread::get_id();
  std::atomic<bool> handlerOnMain{false}, returned{false}, afterHandler{false};
  queue->Post(MakeJob([&](JobQueue& q) {
    bool synced = SyncOnMainThread(main, q, [&] {
      handlerOnMain = std::this_thread::get_id() == mainId;
      std::this_thread::sleep_for(20ms);
      afterHandler = !returned;  // the worker must still be waiting
    });
    returned = synced;
  }));
  EXPECT_TRUE(main.RunUntil([&] { return returned.load(); }, 10s));
  EXPECT_TRUE(handlerOnMain);
  EXPECT_TRUE(afterHandler);
}

TEST(SyncTest, OnTheMainThreadRunsAtOnceElsewhereOnlyFromTheQueuesWorker) {
  LoopMainThread main;
  WorkerPool pool;
  auto queue = pool.CreateQueue();
  int ran = 0;
  EXPECT_TRUE(SyncOnMainThread(main, *queue, [&] { ++ran; }));
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(SyncOnMainThread(main, *queue, {})) << "an empty handler is not run";

  // Another thread while no worker runs the queue: nobody to hand over for.
  auto idle = std::async(std::launch::async, [&] {
    try {
      SyncOnMainThread(main, *queue, [] {});
      return std::string("no exception");
    } catch (const EConnection& e) {
      return std::string(e.what());
    }
  });
  EXPECT_EQ(idle.get(), "No thread assigned.");

  // A thread other than the worker that runs the queue's job: refused.
  std::promise<void> release;
  auto released = release.get_future().share();
  std::promise<void> running;
  queue->Post(MakeJob([&, released](JobQueue&) {
    running.set_value();
    released.wait();
  }));
  running.get_future().wait();
  auto outsider = std::async(std::launch::async,
                             [&] { return SyncOnMainThread(main, *queue, [&] { ++ran; }); });
  EXPECT_FALSE(outsider.get());
  release.set_value();
  EXPECT_EQ(ran, 1);
}

TEST(SyncTest, ExceptionOfTheHandlerReachesTheWorker) {
  LoopMainThread main;
  WorkerPool pool;
  auto queue = pool.CreateQueue();
  std::atomic<bool> caught{false}, done{false};
  queue->Post(MakeJob([&](JobQueue& q) {
    try {
      SyncOnMainThread(main, q, [] { throw std::runtime_error("from the window"); });
    } catch (const std::runtime_error& e) {
      caught = std::string(e.what()) == "from the window";
    }
    done = true;
  }));
  EXPECT_TRUE(main.RunUntil([&] { return done.load(); }, 10s));
  EXPECT_TRUE(caught);
}

TEST(SyncTest, PoolShutdownKeepsServingTheMainThreadForWaitingWorkers) {
  LoopMainThread main;
  WorkerPool pool;
  auto queue = pool.CreateQueue();
  std::promise<void> started;
  std::atomic<bool> handled{false};
  queue->Post(MakeJob([&](JobQueue& q) {
    started.set_value();
    SyncOnMainThread(main, q, [&] { handled = true; });
  }));
  started.get_future().wait();
  pool.Shutdown(WorkerPool::kShutdownWait, [&] { main.ProcessPending(); });
  EXPECT_TRUE(handled);
  EXPECT_EQ(pool.WorkerCount(), 0);
}

TEST(SyncTest, ClosedMainThreadReleasesWaitingWorkers) {
  auto main = std::make_unique<LoopMainThread>();
  WorkerPool pool;
  auto queue = pool.CreateQueue();
  std::atomic<bool> ran{false}, returned{false};
  queue->Post(MakeJob([&](JobQueue& q) {
    SyncOnMainThread(*main, q, [&] { ran = true; });
    returned = true;
  }));
  // The worker's hand-over is queued, so it waits inside SyncOnMainThread when Close comes.
  ASSERT_TRUE(main->WaitForWork(10s));
  EXPECT_FALSE(returned);
  main->Close();
  pool.Shutdown();
  EXPECT_TRUE(returned);
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace vidoria
