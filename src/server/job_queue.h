// A serial job queue: its jobs run one at a time, in order, on the threads of a WorkerPool.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <thread>

#include "server/job.h"

namespace vidoria {

namespace detail {
class PoolCore;
}

// Queues are created by WorkerPool::CreateQueue and owned by the pool's registry until they
// finish (Work returns true, a job throws, or a QuitJob is reached) or the pool shuts down; then
// they are unregistered and their waiting jobs killed. Holders of a shared_ptr may keep posting:
// posts to a finished queue are refused. Every member may be called from any thread.
class JobQueue : public std::enable_shared_from_this<JobQueue> {
 public:
  JobQueue() = default;
  JobQueue(const JobQueue&) = delete;
  JobQueue& operator=(const JobQueue&) = delete;
  virtual ~JobQueue();

  // Adds a job at the tail (or the head with `atHead`), clears the paused mark when `resume` is
  // set, and schedules the queue. Returns false, destroying the job unrun, when the pool is gone
  // or shutting down, or the queue is freed or quitting. Throws EThreadLimitReached when no
  // worker exists and none can be started.
  bool Post(std::unique_ptr<Job> job, bool resume = false, bool atHead = false);
  // Posts the QuitJob; after it no further post is accepted.
  bool PostQuit(bool atHead = false);
  // As Post, but when the queue is idle, not paused and has nothing waiting, the job runs at once
  // on the calling thread, which is then the queue's runner for it: the jobs' order and the rule
  // of one job at a time stay those of Post, without handing the job to a worker. A few jobs
  // posted meanwhile follow on this thread; the rest are handed to the pool. The caller must hold
  // no lock its jobs may take.
  bool RunOrPost(std::unique_ptr<Job> job, bool atHead = false);

  // A paused queue is not served; resuming schedules it again when it has jobs.
  void Pause();
  void Resume();

  // Identity used for the round-robin order; unique within a process.
  uint64_t Id() const { return id_; }
  bool Registered() const;
  // The worker thread that is running this queue now, or a default id when it is idle.
  std::thread::id Runner() const;
  // The queue whose job the calling thread is running, or nullptr.
  static JobQueue* Current();

 protected:
  // Runs one job and returns true when that finishes the queue. Runs on a worker thread without
  // any pool lock held. Subclasses interpret their own jobs and hand the rest to this one.
  virtual bool Work(Job& job);

 private:
  friend class detail::PoolCore;

  std::shared_ptr<detail::PoolCore> core_;  // set once at registration
  uint64_t id_ = 0;                         // set once at registration
  // All below are guarded by the pool lock.
  // A list, not a deque: an empty deque holds a 512-byte block, and every connection has a queue.
  std::list<std::unique_ptr<Job>> jobs_;
  enum class State { kIdle, kWaiting, kRunning } state_ = State::kIdle;
  bool paused_ = false;
  bool quitting_ = false;
  bool registered_ = false;
  std::thread::id runner_;
};

}  // namespace vidoria
