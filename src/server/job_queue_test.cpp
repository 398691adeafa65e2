#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "server/exceptions.h"
#include "server/worker_pool.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;

// A one-shot gate that jobs wait on, so tests can hold a worker or a queue still.
class Gate {
 public:
  void Open() {
    std::lock_guard lock(mu_);
    open_ = true;
    cv_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mu_);
    cv_.wait(lock, [&] { return open_; });
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool open_ = false;
};

// Records the order in which jobs ran, thread-safely.
class Trace {
 public:
  void Add(int value) {
    std::lock_guard lock(mu_);
    values_.push_back(value);
    cv_.notify_all();
  }
  std::vector<int> WaitFor(size_t count) {
    std::unique_lock lock(mu_);
    EXPECT_TRUE(cv_.wait_for(lock, 20s, [&] { return values_.size() >= count; }))
        << "only " << values_.size() << " of " << count << " jobs ran";
    return values_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<int> values_;
};

// Counts Run and Kill calls, so tests see what happened to every job.
struct Counters {
  std::atomic<int> ran{0};
  std::atomic<int> killed{0};
};

class CountingJob : public Job {
 public:
  explicit CountingJob(Counters& counters) : counters_(counters) {}
  void Run(JobQueue&) override { ++counters_.ran; }
  void Kill() override { ++counters_.killed; }

 private:
  Counters& counters_;
};

TEST(JobQueueTest, JobsOfOneQueueNeverOverlapAndKeepEachPostersOrder) {
  WorkerPool pool;
  auto queue = pool.CreateQueue();
  std::atomic<int> inFlight{0};
  std::atomic<bool> overlapped{false};
  Trace trace;
  constexpr int kPosters = 4, kJobsEach = 500;

  std::vector<std::thread> posters;
  for (int p = 0; p < kPosters; ++p) {
    posters.emplace_back([&, p] {
      for (int i = 0; i < kJobsEach; ++i) {
        queue->Post(MakeJob([&, p, i](JobQueue&) {
          if (++inFlight != 1) overlapped = true;
          std::this_thread::yield();
          trace.Add(p * kJobsEach + i);
          --inFlight;
        }));
      }
    });
  }
  for (auto& t : posters) t.join();
  auto order = trace.WaitFor(kPosters * kJobsEach);

  EXPECT_FALSE(overlapped);
  std::vector<int> last(kPosters, -1);
  for (int value : order) {
    int poster = value / kJobsEach, seq = value % kJobsEach;
    EXPECT_EQ(seq, last[poster] + 1) << "poster " << poster << " out of order";
    last[poster] = seq;
  }
}

TEST(JobQueueTest, JobPostedAtHeadRunsBeforeThoseAlreadyWaiting) {
  WorkerPool pool;
  auto queue = pool.CreateQueue();
  Gate gate;
  Trace trace;
  queue->Post(MakeJob([&](JobQueue&) { gate.Wait(); }));
  for (int i = 1; i <= 3; ++i) queue->Post(MakeJob([&, i](JobQueue&) { trace.Add(i); }));
  queue->Post(MakeJob([&](JobQueue&) { trace.Add(0); }), false, /*atHead=*/true);
  gate.Open();
  EXPECT_EQ(trace.WaitFor(4), (std::vector<int>{0, 1, 2, 3}));
}

TEST(JobQueueTest, WaitingQueuesAreServedInTurnOneJobEach) {
  WorkerPool pool(WorkerPool::Options{.maxWorkers = 1, .spareWorkers = 0, .startThread = {}});
  auto blocker = pool.CreateQueue();
  std::vector<std::shared_ptr<JobQueue>> queues;
  for (int q = 0; q < 3; ++q) queues.push_back(pool.CreateQueue());
  Gate gate;
  Trace trace;
  blocker->Post(MakeJob([&](JobQueue&) { gate.Wait(); }));
  // Posted while the only worker is held: queue q gets jobs 10q+0..2, and they must come out
  // interleaved, because a queue yields to the others after every job.
  for (int q = 2; q >= 0; --q) {
    for (int j = 0; j < 3; ++j)
      queues[q]->Post(MakeJob([&, q, j](JobQueue&) { trace.Add(10 * q + j); }));
  }
  gate.Open();
  EXPECT_EQ(trace.WaitFor(9), (std::vector<int>{0, 10, 20, 1, 11, 21, 2, 12, 22}));
}

TEST(JobQueueTest, HundredBusyQueuesOnSixtyFourWorkersAllProgress) {
  WorkerPool pool;
  constexpr int kQueues = 100;
  std::vector<std::shared_ptr<JobQueue>> queues;
  std::vector<std::atomic<int>> done(kQueues);
  std::atomic<bool> stop{false};
  std::atomic<int> maxConcurrent{0}, concurrent{0};

  // Each job keeps its worker busy for a while and then posts its successor, so every queue
  // always has work and only the pool's turn-taking can let them all through.
  std::function<void(JobQueue&, int)> busy = [&](JobQueue& queue, int index) {
    int now = ++concurrent;
    for (int seen = maxConcurrent; now > seen && !maxConcurrent.compare_exchange_weak(seen, now);) {
    }
    std::this_thread::sleep_for(1ms);
    --concurrent;
    ++done[index];
    if (!stop) queue.Post(MakeJob([&, index](JobQueue& q) { busy(q, index); }));
  };
  for (int i = 0; i < kQueues; ++i) {
    queues.push_back(pool.CreateQueue());
    for (int k = 0; k < 2; ++k) queues[i]->Post(MakeJob([&, i](JobQueue& q) { busy(q, i); }));
  }
  auto allProgressed = [&](int atLeast) {
    for (auto& d : done)
      if (d < atLeast) return false;
    return true;
  };
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!allProgressed(5) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  stop = true;
  EXPECT_TRUE(allProgressed(5));
  EXPECT_LE(pool.WorkerCount(), WorkerPool::kThreadPoolMax);
  EXPECT_LE(maxConcurrent.load(), WorkerPool::kThreadPoolMax);
  pool.Shutdown();
}

TEST(JobQueueTest, FailingJobFreesOnlyItsQueueAndKillsItsWaitingJobs) {
  WorkerPool pool;
  auto failing = pool.CreateQueue();
  auto healthy = pool.CreateQueue();
  Counters failingJobs, healthyJobs;
  Gate gate;
  failing->Post(MakeJob([&](JobQueue&) {
    gate.Wait();
    throw std::runtime_error("boom");
  }));
  for (int i = 0; i < 3; ++i) failing->Post(std::make_unique<CountingJob>(failingJobs));
  gate.Open();

  Trace trace;
  for (int i = 0; i < 50; ++i) {
    healthy->Post(std::make_unique<CountingJob>(healthyJobs));
    healthy->Post(MakeJob([&, i](JobQueue&) { trace.Add(i); }));
  }
  trace.WaitFor(50);
  // The queue is unregistered first and its waiting jobs are killed after, outside the pool's
  // lock: wait for both.
  for (int i = 0; i < 200 && (failing->Registered() || failingJobs.killed < 3); ++i) {
    std::this_thread::sleep_for(5ms);
  }

  EXPECT_FALSE(failing->Registered());
  EXPECT_EQ(failingJobs.ran, 0);
  EXPECT_EQ(failingJobs.killed, 3);
  EXPECT_FALSE(failing->Post(std::make_unique<CountingJob>(failingJobs)));
  EXPECT_EQ(failingJobs.killed, 4) << "a refused job is killed, not run";
  EXPECT_TRUE(healthy->Registered());
  EXPECT_EQ(healthyJobs.ran, 50);
  EXPECT_EQ(pool.QueueCount(), 1u);
}

// A queue finishes through a QuitJob or through Work returning true; either way what is still
// queued behind it is killed and later posts are refused.
class FinishingQueue : public JobQueue {
 protected:
  bool Work(Job& job) override {
    JobQueue::Work(job);
    return ++count_ == 2;
  }

 private:
  int count_ = 0;  // only touched by the queue's own jobs
};

TEST(JobQueueTest, FinishedQueueKillsTheRestAndRefusesPosts) {
  struct Case {
    const char* name;
    std::function<std::shared_ptr<JobQueue>(WorkerPool&, Counters&)> start;
    int ranBeforeFinish;
  };
  const Case cases[] = {
      {"quit job",
       [](WorkerPool& pool, Counters& c) {
         auto q = pool.CreateQueue();
         q->Post(std::make_unique<CountingJob>(c));
         EXPECT_TRUE(q->PostQuit());
         return q;
       },
       1},
      {"work returns finished",
       [](WorkerPool& pool, Counters& c) {
         std::shared_ptr<JobQueue> q = pool.CreateQueue<FinishingQueue>();
         q->Post(std::make_unique<CountingJob>(c));
         q->Post(std::make_unique<CountingJob>(c));
         return q;
       },
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WorkerPool pool;
    Counters counters;
    Gate gate;
    auto queue = c.start(pool, counters);
    // Jobs posted after the finishing one (or refused, for a quitting queue) must never run.
    queue->Post(std::make_unique<CountingJob>(counters));
    for (int i = 0; i < 400 && queue->Registered(); ++i) std::this_thread::sleep_for(5ms);
    EXPECT_FALSE(queue->Registered());
    EXPECT_EQ(counters.ran, c.ranBeforeFinish);
    EXPECT_EQ(counters.ran + counters.killed, c.ranBeforeFinish + 1);
    EXPECT_FALSE(queue->Post(std::make_unique<CountingJob>(counters)));
  }
}

TEST(JobQueueTest, PausedQueueWaitsUntilResumed) {
  WorkerPool pool;
  auto queue = pool.CreateQueue();
  queue->Pause();
  Trace trace;
  queue->Post(MakeJob([&](JobQueue&) { trace.Add(1); }));
  std::this_thread::sleep_for(50ms);
  queue->Post(MakeJob([&](JobQueue&) { trace.Add(2); }));
  EXPECT_EQ(trace.WaitFor(0).size(), 0u) << "a paused queue ran a job";
  queue->Resume();
  EXPECT_EQ(trace.WaitFor(2), (std::vector<int>{1, 2}));

  queue->Pause();
  queue->Post(MakeJob([&](JobQueue&) { trace.Add(3); }), /*resume=*/true);
  EXPECT_EQ(trace.WaitFor(3), (std::vector<int>{1, 2, 3}));
}

TEST(JobQueueTest, JobSeesItsQueueAndWorker) {
  WorkerPool pool;
  auto queue = pool.CreateQueue();
  std::promise<bool> seen;
  queue->Post(MakeJob([&](JobQueue& q) {
    seen.set_value(JobQueue::Current() == &q && q.Runner() == std::this_thread::get_id());
  }));
  EXPECT_TRUE(seen.get_future().get());
  EXPECT_EQ(JobQueue::Current(), nullptr);
  for (int i = 0; i < 200 && queue->Runner() != std::thread::id{}; ++i)
    std::this_thread::sleep_for(5ms);
  EXPECT_EQ(queue->Runner(), std::thread::id{});
}

TEST(WorkerPoolTest, NoWorkerAtAllRaisesThreadLimitReached) {
  WorkerPool pool(WorkerPool::Options{
      .maxWorkers = 4, .spareWorkers = 0, .startThread = [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      }});
  auto queue = pool.CreateQueue();
  try {
    queue->Post(MakeJob([](JobQueue&) {}));
    FAIL() << "expected EThreadLimitReached";
  } catch (const EThreadLimitReached& e) {
    EXPECT_EQ(std::string(e.what()).rfind("std::system_error:", 0), 0u) << e.what();
  }
}

TEST(WorkerPoolTest, KeepsSpareWorkersAndNeverMoreThanTheLimit) {
  Gate gate;
  Trace started;
  std::vector<std::shared_ptr<JobQueue>> queues;
  auto postBlocking = [&](WorkerPool& pool, int count) {
    for (int i = 0; i < count; ++i) {
      queues.push_back(pool.CreateQueue());
      const int number = static_cast<int>(queues.size());
      queues.back()->Post(MakeJob([&, number](JobQueue&) {
        started.Add(number);
        gate.Wait();
      }));
    }
  };
  {
    // Every worker taken for a queue is replaced by a spare one started at once, and the spare
    // ones serve the next queues while the first jobs still block.
    WorkerPool pool(WorkerPool::Options{.maxWorkers = 10, .spareWorkers = 3, .startThread = {}});
    postBlocking(pool, 2);
    EXPECT_EQ(pool.WorkerCount(), 2 + 3);
    postBlocking(pool, 3);
    EXPECT_EQ(started.WaitFor(5).size(), 5u) << "three jobs ran on the spare workers";
    EXPECT_EQ(pool.WorkerCount(), 5 + 3);
    gate.Open();
    pool.Shutdown();
  }
  {
    // No spare worker beyond the limit: the jobs over it wait for a worker to free up.
    WorkerPool pool(WorkerPool::Options{.maxWorkers = 5, .spareWorkers = 3, .startThread = {}});
    Gate second;
    Trace ran;
    for (int i = 0; i < 8; ++i) {
      queues.push_back(pool.CreateQueue());
      queues.back()->Post(MakeJob([&, i](JobQueue&) {
        ran.Add(i);
        second.Wait();
      }));
    }
    EXPECT_EQ(ran.WaitFor(5).size(), 5u);
    EXPECT_EQ(pool.WorkerCount(), 5);
    second.Open();
    EXPECT_EQ(ran.WaitFor(8).size(), 8u);
  }
}

TEST(WorkerPoolTest, ShutdownLetsRunningJobsEndKillsWaitingOnesAndRefusesPosts) {
  WorkerPool pool;
  auto queue = pool.CreateQueue();
  Counters counters;
  std::atomic<bool> finished{false};
  Gate started;
  queue->Post(MakeJob([&](JobQueue&) {
    started.Open();
    std::this_thread::sleep_for(100ms);
    finished = true;
  }));
  for (int i = 0; i < 5; ++i) queue->Post(std::make_unique<CountingJob>(counters));
  started.Wait();
  pool.Shutdown();
  EXPECT_TRUE(finished);
  EXPECT_EQ(counters.ran, 0);
  EXPECT_EQ(counters.killed, 5);
  EXPECT_EQ(pool.WorkerCount(), 0);
  EXPECT_FALSE(queue->Post(std::make_unique<CountingJob>(counters)));
  EXPECT_EQ(pool.QueueCount(), 0u);
}

TEST(WorkerPoolTest, ShutdownStopsWaitingForAStuckWorker) {
  auto gate = std::make_shared<Gate>();
  auto pool = std::make_unique<WorkerPool>();
  auto queue = pool->CreateQueue();
  auto started = std::make_shared<Gate>();
  queue->Post(MakeJob([gate, started](JobQueue&) {
    started->Open();
    gate->Wait();
  }));
  started->Wait();
  const auto before = std::chrono::steady_clock::now();
  pool->Shutdown(200ms);
  EXPECT_GE(std::chrono::steady_clock::now() - before, 200ms);
  pool.reset();  // the straggler still runs and must not touch freed memory
  gate->Open();
  std::this_thread::sleep_for(50ms);
}

TEST(JobQueueTest, RunOrPostRunsAnIdleQueuesJobHereAndQueuesBehindABusyOne) {
  WorkerPool pool;
  auto queue = pool.CreateQueue();
  Trace trace;
  // Idle: the job runs before RunOrPost returns, on this thread, as the queue's runner.
  std::thread::id ranOn, runner;
  ASSERT_TRUE(queue->RunOrPost(MakeJob([&](JobQueue& q) {
    ranOn = std::this_thread::get_id();
    runner = q.Runner();
    EXPECT_EQ(JobQueue::Current(), &q);
    trace.Add(1);
  })));
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(runner, std::this_thread::get_id());
  EXPECT_EQ(JobQueue::Current(), nullptr);

  // Busy on a worker: the job waits its turn behind the running one and what was posted before.
  Gate hold, holding;
  queue->Post(MakeJob([&](JobQueue&) {
    holding.Open();
    hold.Wait();
    trace.Add(2);
  }));
  queue->Post(MakeJob([&](JobQueue&) { trace.Add(3); }));
  holding.Wait();
  ASSERT_TRUE(queue->RunOrPost(MakeJob([&](JobQueue&) { trace.Add(4); })));
  hold.Open();
  EXPECT_EQ(trace.WaitFor(4), (std::vector<int>{1, 2, 3, 4}));

  // A job posted by an inline job follows it, still in order, and a finished queue refuses more.
  queue->RunOrPost(MakeJob([&](JobQueue& q) {
    q.Post(MakeJob([&](JobQueue&) { trace.Add(6); }));
    trace.Add(5);
  }));
  EXPECT_EQ(trace.WaitFor(6), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  ASSERT_TRUE(queue->PostQuit());
  EXPECT_FALSE(queue->RunOrPost(MakeJob([&](JobQueue&) { trace.Add(7); })));
}

}  // namespace
}  // namespace vidoria
