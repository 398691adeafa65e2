#include "server/worker_pool.h"

#include <cassert>
#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <vector>

#include "server/exceptions.h"

namespace vidoria {

namespace detail {

namespace {
thread_local JobQueue* currentQueue = nullptr;
}

struct Worker {
  std::thread thread;
  std::thread::id id;
  std::condition_variable wake;
  // Guarded by the pool lock.
  std::shared_ptr<JobQueue> handed;
  bool stop = false;
  bool ended = false;
};

// The pool's shared state: owned jointly by the WorkerPool, its queues and its worker threads,
// so a worker that outlives a shutdown's wait never touches freed memory.
class PoolCore : public std::enable_shared_from_this<PoolCore> {
 public:
  explicit PoolCore(WorkerPool::Options options) : options_(std::move(options)) {}

  void Register(const std::shared_ptr<JobQueue>& queue) {
    std::lock_guard lock(mu_);
    queue->core_ = shared_from_this();
    queue->id_ = nextId_++;
    if (stopping_) return;
    queue->registered_ = true;
    all_.emplace(queue->id_, queue);
  }

  bool Post(JobQueue& queue, std::unique_ptr<Job> job, bool resume, bool atHead) {
    std::unique_lock lock(mu_);
    if (stopping_ || !queue.registered_ || queue.quitting_) {
      lock.unlock();
      job->Kill();
      return false;
    }
    if (job->IsQuit()) queue.quitting_ = true;
    if (atHead) {
      queue.jobs_.push_front(std::move(job));
    } else {
      queue.jobs_.push_back(std::move(job));
    }
    if (resume) queue.paused_ = false;
    if (!queue.paused_ && queue.state_ == JobQueue::State::kIdle) {
      MakeWaiting(queue);
      GetWorker();
    }
    return true;
  }

  bool RunOrPost(JobQueue& queue, std::unique_ptr<Job> job, bool atHead) {
    Lock lock(mu_);
    if (stopping_ || !queue.registered_ || queue.quitting_ || job->IsQuit() || queue.paused_ ||
        queue.state_ != JobQueue::State::kIdle || !queue.jobs_.empty()) {
      lock.unlock();
      return Post(queue, std::move(job), false, atHead);
    }
    queue.state_ = JobQueue::State::kRunning;
    queue.runner_ = std::this_thread::get_id();
    queue.jobs_.push_front(std::move(job));
    std::shared_ptr<JobQueue> self = queue.shared_from_this();
    RunOneJob(self, lock);
    // What the job posted to its own queue (a connection's data-sent step) follows here too, a
    // few jobs at most so that one busy queue cannot keep this thread: the lock was not released
    // since the queue became waiting, so no worker has taken it.
    for (int more = kInlineFollowUps;
         more > 0 && queue.state_ == JobQueue::State::kWaiting && !stopping_; --more) {
      waiting_.erase(queue.id_);
      queue.state_ = JobQueue::State::kRunning;
      queue.runner_ = std::this_thread::get_id();
      RunOneJob(self, lock);
    }
    if (queue.state_ == JobQueue::State::kWaiting) {
      try {
        GetWorker();
      } catch (const EThreadLimitReached&) {
        // The queue waits until a worker frees up.
      }
    }
    return true;
  }

  static constexpr int kInlineFollowUps = 4;

  void Pause(JobQueue& queue) {
    std::lock_guard lock(mu_);
    queue.paused_ = true;
    if (queue.state_ == JobQueue::State::kWaiting) {
      waiting_.erase(queue.id_);
      queue.state_ = JobQueue::State::kIdle;
    }
  }

  void Resume(JobQueue& queue) {
    std::lock_guard lock(mu_);
    queue.paused_ = false;
    if (queue.registered_ && !stopping_ && queue.state_ == JobQueue::State::kIdle &&
        !queue.jobs_.empty()) {
      MakeWaiting(queue);
      GetWorker();
    }
  }

  bool Registered(const JobQueue& queue) const {
    std::lock_guard lock(mu_);
    return queue.registered_;
  }

  std::thread::id Runner(const JobQueue& queue) const {
    std::lock_guard lock(mu_);
    return queue.runner_;
  }

  void Shutdown(std::chrono::milliseconds wait, const std::function<void()>& pump);

  int WorkerCount() const {
    std::lock_guard lock(mu_);
    return live_;
  }
  size_t QueueCount() const {
    std::lock_guard lock(mu_);
    return all_.size();
  }

 private:
  using Lock = std::unique_lock<std::mutex>;

  // Lock held. The queue has jobs, is not paused and is neither waiting nor running.
  void MakeWaiting(JobQueue& queue) {
    queue.state_ = JobQueue::State::kWaiting;
    waiting_.emplace(queue.id_, queue.shared_from_this());
  }

  // Lock held. A queue just became waiting: find a worker for it.
  void GetWorker() {
    Worker* worker = nullptr;
    if (!idle_.empty()) {
      worker = idle_.back();
      idle_.pop_back();
    } else if (live_ < options_.maxWorkers) {
      try {
        worker = StartWorker();
      } catch (const std::exception& e) {
        if (live_ == 0) throw EThreadLimitReached(ExceptionClassName(e) + ":" + e.what());
        return;  // a worker that frees up serves the queue
      }
    }
    if (worker == nullptr) return;
    while (live_ < options_.maxWorkers && static_cast<int>(idle_.size()) < options_.spareWorkers) {
      try {
        idle_.push_back(StartWorker());
      } catch (const std::exception&) {
        break;
      }
    }
    worker->handed = TakeNextWaiting();
    worker->handed->runner_ = worker->id;
    worker->wake.notify_one();
  }

  // Lock held. Throws when the thread cannot be started.
  Worker* StartWorker() {
    auto worker = std::make_unique<Worker>();
    Worker* raw = worker.get();
    auto body = [self = shared_from_this(), raw] { self->WorkerMain(raw); };
    raw->thread = options_.startThread ? options_.startThread(body) : std::thread(body);
    raw->id = raw->thread.get_id();
    workers_.push_back(std::move(worker));
    ++live_;
    return raw;
  }

  // Lock held, waiting_ not empty. The next queue after the one served last, in identity order.
  std::shared_ptr<JobQueue> TakeNextWaiting() {
    assert(!waiting_.empty());
    auto it = waiting_.upper_bound(lastServed_);
    if (it == waiting_.end()) it = waiting_.begin();
    std::shared_ptr<JobQueue> queue = std::move(it->second);
    waiting_.erase(it);
    lastServed_ = queue->id_;
    queue->state_ = JobQueue::State::kRunning;
    return queue;
  }

  void WorkerMain(Worker* self);
  void RunOneJob(std::shared_ptr<JobQueue> queue, Lock& lock);
  void FreeQueue(std::shared_ptr<JobQueue> queue, Lock& lock);

  const WorkerPool::Options options_;
  mutable std::mutex mu_;  // the pool lock: guards everything below and every queue's fields
  std::map<uint64_t, std::shared_ptr<JobQueue>> all_;
  std::map<uint64_t, std::shared_ptr<JobQueue>> waiting_;
  uint64_t lastServed_ = 0;
  uint64_t nextId_ = 1;
  std::vector<Worker*> idle_;
  std::list<std::unique_ptr<Worker>> workers_;  // every worker started; kept for stragglers
  int live_ = 0;
  bool stopping_ = false;
  std::condition_variable allEnded_;
};

void PoolCore::WorkerMain(Worker* self) {
  Lock lock(mu_);
  while (!stopping_) {
    self->wake.wait(lock, [&] { return self->handed || self->stop; });
    std::shared_ptr<JobQueue> queue = std::move(self->handed);
    while (queue && !stopping_) {
      RunOneJob(std::move(queue), lock);
      if (stopping_) break;
      if (!waiting_.empty()) {
        queue = TakeNextWaiting();
        queue->runner_ = std::this_thread::get_id();
      } else if (static_cast<int>(idle_.size()) < WorkerPool::kThreadPoolIdleMax) {
        idle_.push_back(self);
      } else {
        // Too many idle workers: this one ends and nobody will join it.
        self->thread.detach();
        workers_.remove_if([self](const auto& w) { return w.get() == self; });
        --live_;
        allEnded_.notify_all();
        return;
      }
    }
    if (!queue && self->stop) break;
  }
  self->ended = true;
  --live_;
  allEnded_.notify_all();
}

// Lock held on entry and on return; the job itself runs without it.
void PoolCore::RunOneJob(std::shared_ptr<JobQueue> queue, Lock& lock) {
  bool finished = false;
  if (!queue->jobs_.empty()) {
    std::unique_ptr<Job> job = std::move(queue->jobs_.front());
    queue->jobs_.pop_front();
    if (job->IsQuit()) {
      finished = true;
    } else {
      lock.unlock();
      JobQueue* outer = currentQueue;
      currentQueue = queue.get();
      try {
        finished = queue->Work(*job);
      } catch (...) {
        finished = true;  // a failing job ends its own queue and nothing else
      }
      currentQueue = outer;
      job.reset();
      lock.lock();
    }
  }
  if (finished) {
    FreeQueue(std::move(queue), lock);
    return;
  }
  queue->runner_ = {};
  queue->state_ = JobQueue::State::kIdle;
  if (queue->registered_ && !queue->paused_ && !queue->jobs_.empty()) MakeWaiting(*queue);
}

// Lock held on entry and on return. The waiting jobs are killed and the registry's reference
// dropped without the lock, since either may run arbitrary destructors.
void PoolCore::FreeQueue(std::shared_ptr<JobQueue> queue, Lock& lock) {
  queue->registered_ = false;
  queue->runner_ = {};
  queue->state_ = JobQueue::State::kIdle;
  all_.erase(queue->id_);
  waiting_.erase(queue->id_);
  auto jobs = std::move(queue->jobs_);
  queue->jobs_.clear();
  lock.unlock();
  for (auto& job : jobs) job->Kill();
  jobs.clear();
  queue.reset();
  lock.lock();
}

void PoolCore::Shutdown(std::chrono::milliseconds wait, const std::function<void()>& pump) {
  Lock lock(mu_);
  if (stopping_) return;
  stopping_ = true;
  for (auto& worker : workers_) {
    worker->stop = true;
    worker->wake.notify_one();
  }
  idle_.clear();
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (live_ > 0 && std::chrono::steady_clock::now() < deadline) {
    if (pump) {
      lock.unlock();
      pump();
      lock.lock();
      allEnded_.wait_for(lock, std::chrono::milliseconds(5));
    } else {
      allEnded_.wait_until(lock, deadline);
    }
  }
  std::vector<std::thread> finished;
  for (auto it = workers_.begin(); it != workers_.end();) {
    if ((*it)->ended) {
      finished.push_back(std::move((*it)->thread));
      it = workers_.erase(it);
    } else {
      (*it)->thread.detach();  // still busy: it ends by itself, holding the core alive
      ++it;
    }
  }
  auto queues = std::move(all_);
  all_.clear();
  waiting_.clear();
  std::vector<std::unique_ptr<Job>> jobs;
  for (auto& [id, queue] : queues) {
    queue->registered_ = false;
    for (auto& job : queue->jobs_) jobs.push_back(std::move(job));
    queue->jobs_.clear();
  }
  lock.unlock();
  for (auto& thread : finished) thread.join();
  for (auto& job : jobs) job->Kill();
  jobs.clear();
  queues.clear();
}

}  // namespace detail

WorkerPool::WorkerPool() : WorkerPool(Options{}) {}

WorkerPool::WorkerPool(Options options)
    : core_(std::make_shared<detail::PoolCore>(std::move(options))) {}

WorkerPool::~WorkerPool() {
  Shutdown();
}

void WorkerPool::Register(std::shared_ptr<JobQueue> queue) {
  core_->Register(queue);
}

void WorkerPool::Shutdown(std::chrono::milliseconds wait, const std::function<void()>& pump) {
  core_->Shutdown(wait, pump);
}

int WorkerPool::WorkerCount() const {
  return core_->WorkerCount();
}
size_t WorkerPool::QueueCount() const {
  return core_->QueueCount();
}

bool JobQueue::Post(std::unique_ptr<Job> job, bool resume, bool atHead) {
  if (!core_) {
    job->Kill();
    return false;
  }
  return core_->Post(*this, std::move(job), resume, atHead);
}

bool JobQueue::RunOrPost(std::unique_ptr<Job> job, bool atHead) {
  if (!core_) {
    job->Kill();
    return false;
  }
  return core_->RunOrPost(*this, std::move(job), atHead);
}

bool JobQueue::PostQuit(bool atHead) {
  return Post(std::make_unique<QuitJob>(), false, atHead);
}

void JobQueue::Pause() {
  if (core_) core_->Pause(*this);
}

void JobQueue::Resume() {
  if (core_) core_->Resume(*this);
}

bool JobQueue::Registered() const {
  return core_ && core_->Registered(*this);
}

std::thread::id JobQueue::Runner() const {
  return core_ ? core_->Runner(*this) : std::thread::id{};
}

JobQueue* JobQueue::Current() {
  return detail::currentQueue;
}

}  // namespace vidoria
