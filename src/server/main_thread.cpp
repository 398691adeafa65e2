#include "server/main_thread.h"

#include <exception>

#include "server/exceptions.h"
#include "server/job_queue.h"

namespace vidoria {

struct LoopMainThread::Item {
  const std::function<void()>* fn;  // owned by the waiting caller
  bool done = false;
  std::exception_ptr error;
};

LoopMainThread::LoopMainThread() : main_(std::this_thread::get_id()) {}

LoopMainThread::~LoopMainThread() {
  Close();
}

bool LoopMainThread::IsMainThread() const {
  return std::this_thread::get_id() == main_;
}

void LoopMainThread::RunAndWait(const std::function<void()>& fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  auto item = std::make_shared<Item>();
  item->fn = &fn;
  std::unique_lock lock(mu_);
  if (closed_) return;
  items_.push_back(item);
  cv_.notify_all();
  cv_.wait(lock, [&] { return item->done; });
  if (item->error) std::rethrow_exception(item->error);
}

int LoopMainThread::ProcessPending() {
  int ran = 0;
  std::unique_lock lock(mu_);
  while (!items_.empty()) {
    auto item = std::move(items_.front());
    items_.pop_front();
    lock.unlock();
    try {
      (*item->fn)();
    } catch (...) {
      item->error = std::current_exception();
    }
    ++ran;
    lock.lock();
    item->done = true;
    cv_.notify_all();
  }
  return ran;
}

bool LoopMainThread::RunUntil(const std::function<bool()>& done,
                              std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    ProcessPending();
    if (done()) return true;
    std::unique_lock lock(mu_);
    if (std::chrono::steady_clock::now() >= deadline) break;
    // Poll `done` often: it may change on another thread without any hand-over.
    cv_.wait_for(lock, std::chrono::milliseconds(2), [&] { return !items_.empty(); });
  }
  return done();
}

bool LoopMainThread::WaitForWork(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mu_);
  return cv_.wait_for(lock, timeout, [&] { return !items_.empty(); });
}

void LoopMainThread::Close() {
  std::lock_guard lock(mu_);
  closed_ = true;
  for (auto& item : items_) item->done = true;
  items_.clear();
  cv_.notify_all();
}

bool SyncOnMainThread(MainThread& main, const JobQueue& queue,
                      const std::function<void()>& handler) {
  if (!handler) return false;
  if (main.IsMainThread()) {
    handler();
    return true;
  }
  const std::thread::id runner = queue.Runner();
  if (runner == std::thread::id{}) throw EConnection("No thread assigned.");
  if (runner != std::this_thread::get_id()) return false;
  main.RunAndWait(handler);
  return true;
}

}  // namespace vidoria
