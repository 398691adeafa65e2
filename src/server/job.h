// A unit of work for a job queue.
#pragma once

#include <functional>
#include <memory>

namespace vidoria {

class JobQueue;

// A job is owned by the queue it was posted to. Exactly one of Run or Kill is called, on a worker
// thread (Run) or on whichever thread frees the queue (Kill); then the job is destroyed.
class Job {
 public:
  virtual ~Job() = default;
  virtual void Run(JobQueue& queue) = 0;
  // Discards the job without running it, because its queue was freed or refused it.
  virtual void Kill() {}
  // The quit job finishes its queue instead of running.
  virtual bool IsQuit() const { return false; }
};

// Runs a function; the convenient job for everything that needs no type of its own.
class FunctionJob final : public Job {
 public:
  explicit FunctionJob(std::function<void(JobQueue&)> fn) : fn_(std::move(fn)) {}
  void Run(JobQueue& queue) override { fn_(queue); }

 private:
  std::function<void(JobQueue&)> fn_;
};

inline std::unique_ptr<Job> MakeJob(std::function<void(JobQueue&)> fn) {
  return std::make_unique<FunctionJob>(std::move(fn));
}

// Finishes the queue it reaches; the queue is then freed and its remaining jobs killed.
class QuitJob final : public Job {
 public:
  void Run(JobQueue&) override {}
  bool IsQuit() const override { return true; }
};

}  // namespace vidoria
