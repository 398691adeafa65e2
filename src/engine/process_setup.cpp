#include "engine/process_setup.h"

#include "platform/descriptor_reserve.h"
#include "platform/process_memory.h"
#include "server/socket.h"

namespace vidoria {

void SetUpProcess() {
  ConfigureAllocator();
  IgnoreBrokenPipeSignal();
  HoldDescriptorReserve();
}

void QuietMemoryRelease::Tick(Clock::time_point now, uint64_t activity) {
  if (activity != lastActivity_) {
    lastActivity_ = activity;
    lastChange_ = now;
    workSinceRelease_ = true;
    return;
  }
  if (workSinceRelease_ && now - lastChange_ >= kQuiet) {
    workSinceRelease_ = false;
    if (release_) release_();
  }
}

}  // namespace vidoria
