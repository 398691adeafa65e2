#include "web/login_lockout.h"

#include <algorithm>
#include <cassert>

namespace vidoria {

static_assert(LoginLockout::kLockTime < LoginLockout::kFailureWindow,
              "an expired address must not be locked any more");

LoginLockout::LoginLockout(Clock now, size_t capacity)
    : now_(std::move(now)), capacity_(std::max<size_t>(capacity, 1)) {}

LoginLockout::TimePoint LoginLockout::Now() const {
  return now_ ? now_() : std::chrono::steady_clock::now();
}

bool LoginLockout::Locked(const std::string& address) {
  std::lock_guard lock(mu_);
  const auto it = entries_.find(address);
  return it != entries_.end() && Now() < it->second.lockedUntil;
}

bool LoginLockout::Failed(const std::string& address) {
  std::lock_guard lock(mu_);
  const TimePoint now = Now();
  DropExpired(now);
  auto it = entries_.find(address);
  if (it == entries_.end()) {
    if (entries_.size() >= capacity_) {
      entries_.erase(order_.front());
      order_.pop_front();
    }
    it = entries_.emplace(address, Entry{}).first;
    it->second.inOrder = order_.insert(order_.end(), address);
  } else {
    order_.splice(order_.end(), order_, it->second.inOrder);
  }
  Entry& entry = it->second;
  // Keep only the failures still inside the window, then the newest kFailuresToLock of them.
  TimePoint* const first = entry.failures.data();
  TimePoint* end = first + entry.count;
  TimePoint* live = std::find_if(first, end, [&](TimePoint t) { return now - t < kFailureWindow; });
  end = std::move(live, end, first);
  if (end == first + kFailuresToLock) end = std::move(first + 1, end, first);
  *end++ = now;
  entry.count = static_cast<int>(end - first);
  assert(entry.count <= kFailuresToLock);
  if (entry.count < kFailuresToLock) return false;
  entry.lockedUntil = now + kLockTime;
  return true;
}

void LoginLockout::Succeeded(const std::string& address) {
  std::lock_guard lock(mu_);
  const auto it = entries_.find(address);
  if (it == entries_.end()) return;
  order_.erase(it->second.inOrder);
  entries_.erase(it);
}

size_t LoginLockout::Remembered() const {
  std::lock_guard lock(mu_);
  return entries_.size();
}

void LoginLockout::DropExpired(TimePoint now) {
  while (!order_.empty()) {
    const auto it = entries_.find(order_.front());
    assert(it != entries_.end() && it->second.count > 0);
    const TimePoint latest = it->second.failures[it->second.count - 1];
    if (now - latest < kFailureWindow) return;
    entries_.erase(it);
    order_.pop_front();
  }
}

}  // namespace vidoria
