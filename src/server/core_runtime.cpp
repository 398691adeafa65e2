#include "server/core_runtime.h"

#include <sys/resource.h>

namespace vidoria {

void CoreRuntime::Shutdown(const std::function<void()>& pump) {
  notifier.Stop(Notifier::kStopWait, pump);
  pool.Shutdown(WorkerPool::kShutdownWait, pump);
}

CoreRuntime& ProcessCore() {
  static CoreRuntime* const kCore = new CoreRuntime();
  return *kCore;
}

long RaiseOpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return -1;
  if (limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ::getrlimit(RLIMIT_NOFILE, &limit);
  }
  return static_cast<long>(limit.rlim_cur);
}

}  // namespace vidoria
