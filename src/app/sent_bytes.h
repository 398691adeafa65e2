// The bytes the server has sent since the traffic meter last looked: request threads add to it
// after every send, and the window takes the whole amount once per meter tick, so no request
// thread waits for the window to count its bytes.
#pragma once

#include <atomic>
#include <cstdint>

namespace vidoria {

class SentBytes {
 public:
  // Any thread.
  void Add(uint64_t bytes) { bytes_.fetch_add(bytes, std::memory_order_relaxed); }
  // Any thread (the window's, once per tick): the amount since the last Take, leaving 0.
  uint64_t Take() { return bytes_.exchange(0, std::memory_order_relaxed); }

 private:
  std::atomic<uint64_t> bytes_{0};
};

}  // namespace vidoria
