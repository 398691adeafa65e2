// The bench clients hold thousands of sockets at once.
#pragma once

#include <sys/resource.h>

namespace vidoria::bench {

// Raises this process's open-file limit to its hard limit; returns the limit now in force (-1
// when it cannot be read).
inline long RaiseOpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return -1;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
  ::getrlimit(RLIMIT_NOFILE, &limit);
  return static_cast<long>(limit.rlim_cur);
}

}  // namespace vidoria::bench
