#include "platform/descriptor_reserve.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

namespace vidoria {

namespace {

struct Reserve {
  std::mutex lock;
  std::vector<int> held;  // guarded by lock; never closed except to be spent
  int wanted = 0;         // guarded by lock
};

Reserve& TheReserve() {
  // Never destroyed: saves may run while the process exits.
  static Reserve* const kReserve = new Reserve();
  return *kReserve;
}

}  // namespace

void HoldDescriptorReserve() {
  {
    std::lock_guard guard(TheReserve().lock);
    TheReserve().wanted = kReservedDescriptors;
  }
  RefillDescriptorReserve();
}

void RefillDescriptorReserve() {
  Reserve& reserve = TheReserve();
  std::lock_guard guard(reserve.lock);
  while (static_cast<int>(reserve.held.size()) < reserve.wanted) {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd < 0) break;
    reserve.held.push_back(fd);
  }
}

int OpenUsingReserve(const std::function<int()>& open) {
  const int fd = open();
  if (fd >= 0 || (errno != EMFILE && errno != ENFILE)) return fd;
  Reserve& reserve = TheReserve();
  std::lock_guard guard(reserve.lock);
  if (reserve.held.empty()) {
    errno = EMFILE;
    return -1;
  }
  ::close(reserve.held.back());
  reserve.held.pop_back();
  return open();
}

int HeldDescriptors() {
  Reserve& reserve = TheReserve();
  std::lock_guard guard(reserve.lock);
  return static_cast<int>(reserve.held.size());
}

}  // namespace vidoria
