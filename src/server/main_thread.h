// The hand-over of work from a worker thread to the program's main thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vidoria {

class JobQueue;

// What the core needs of a main thread. The desktop program implements it with Qt's blocking
// queued invocation; tests and the headless program use LoopMainThread.
class MainThread {
 public:
  virtual ~MainThread() = default;
  virtual bool IsMainThread() const = 0;
  // Runs `fn` on the main thread and returns once it has run there; an exception it throws is
  // thrown again here. Called on the main thread it runs `fn` at once.
  virtual void RunAndWait(const std::function<void()>& fn) = 0;
};

// A main thread that runs handed-over work when its owner asks it to. The thread that constructs
// it is the main thread. Work handed over after Close() runs nowhere: RunAndWait returns at once.
class LoopMainThread final : public MainThread {
 public:
  LoopMainThread();
  ~LoopMainThread() override;  // Close()

  bool IsMainThread() const override;
  void RunAndWait(const std::function<void()>& fn) override;

  // Main thread only. Runs the work handed over so far; returns how many items ran.
  int ProcessPending();
  // Main thread only. Runs handed-over work until `done()` holds or `timeout` passes; returns
  // the last value of `done()`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Main thread only. Waits until work has been handed over, without running it; false when
  // none came within `timeout`.
  bool WaitForWork(std::chrono::milliseconds timeout);
  // Releases every waiting caller without running its work and refuses later work.
  void Close();

 private:
  struct Item;
  const std::thread::id main_;
  std::mutex mu_;  // guards items_, closed_ and every Item's state
  std::condition_variable cv_;
  std::deque<std::shared_ptr<Item>> items_;
  bool closed_ = false;
};

// Runs `handler` on the main thread for a job of `queue` and waits for it. On the main thread it
// runs at once. Throws EConnection "No thread assigned." when no worker runs the queue; returns
// false without running it when called from a thread other than the queue's worker.
bool SyncOnMainThread(MainThread& main, const JobQueue& queue,
                      const std::function<void()>& handler);

}  // namespace vidoria
