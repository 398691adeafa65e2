// What both programs set up in their process before anything else, and the release of free
// memory once the server has gone quiet.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace vidoria {

// Once, first thing in main, before any thread: the allocator's setup, SIGPIPE ignored (a
// send to a client that left fails instead of ending the process) and the descriptors held
// back for saves (platform/descriptor_reserve.h).
void SetUpProcess();

// Watches a count that grows with the server's work (its sends) and, once it has stood still for
// kQuiet after growing, releases the allocator's free memory: the memory a burst of clients
// needed goes back to the system, without a cost on every request. Main thread (Engine::Tick).
class QuietMemoryRelease {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kQuiet{10};

  explicit QuietMemoryRelease(std::function<void()> release) : release_(std::move(release)) {}

  void Tick(Clock::time_point now, uint64_t activity);

 private:
  std::function<void()> release_;
  uint64_t lastActivity_ = 0;
  Clock::time_point lastChange_{};
  bool workSinceRelease_ = false;
};

}  // namespace vidoria
