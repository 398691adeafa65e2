// A bounded pool of worker threads that serves job queues in turn.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "server/job_queue.h"

namespace vidoria {

namespace detail {
class PoolCore;
}

// Workers are started on demand up to `maxWorkers`, with a few spare ones kept ready. A waiting
// queue is handed to a worker, which runs exactly one of its jobs and then moves on to the next
// waiting queue in the order of queue identities, so a busy queue never starves the others.
// Thread-safe; the pool must be shut down (the destructor does it) on a thread that is not one
// of its workers.
class WorkerPool {
 public:
  static constexpr int kThreadPoolMax = 64;
  static constexpr int kThreadPoolSpare = 3;
  static constexpr int kThreadPoolIdleMax = 2048;
  static constexpr std::chrono::milliseconds kShutdownWait{10000};

  struct Options {
    int maxWorkers = kThreadPoolMax;
    int spareWorkers = kThreadPoolSpare;
    // Starts a worker thread; tests replace it to make thread creation fail.
    std::function<std::thread(std::function<void()>)> startThread;
  };

  WorkerPool();
  explicit WorkerPool(Options options);
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  ~WorkerPool();

  // Creates and registers a queue of type Q (a JobQueue or a subclass of it).
  template <class Q = JobQueue, class... Args>
  std::shared_ptr<Q> CreateQueue(Args&&... args) {
    auto queue = std::make_shared<Q>(std::forward<Args>(args)...);
    Register(queue);
    return queue;
  }

  // Stops the pool: no more posts are accepted, every worker is told to end after its current
  // job, and the caller waits up to `wait` for them, calling `pump` (when given) every few
  // milliseconds so that workers blocked on a hand-over to this thread can finish. Then every
  // queue is unregistered and its waiting jobs killed. Workers still busy after the wait are
  // left to end on their own. Calling it again does nothing.
  void Shutdown(std::chrono::milliseconds wait = kShutdownWait,
                const std::function<void()>& pump = {});

  int WorkerCount() const;  // workers that exist now
  size_t QueueCount() const;

 private:
  void Register(std::shared_ptr<JobQueue> queue);

  std::shared_ptr<detail::PoolCore> core_;  // shared with queues and worker threads
};

}  // namespace vidoria
