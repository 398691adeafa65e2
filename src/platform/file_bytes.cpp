#include "platform/file_bytes.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/unique_fd.h"

namespace vidoria {

OsResult<std::string> ReadFileBytes(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return OsError{"cannot be opened", errno};
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return OsError{"", errno};
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

OsStatus WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return OsError{"write failed", errno};
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return OsOk();
}

OsResult<std::string> MoveAside(const std::string& path) {
  for (int k = 0; k < 1000; ++k) {
    std::string aside = k == 0 ? path + ".bad" : path + "." + std::to_string(k) + ".bad";
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
      return aside;
    }
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return OsError{"", errno};
    // File systems without RENAME_NOREPLACE: check, then rename. Only one thread sets a file
    // aside, so nothing races for the name in between.
    struct stat st {};
    if (::lstat(aside.c_str(), &st) == 0) continue;
    if (::rename(path.c_str(), aside.c_str()) == 0) return aside;
    return OsError{"", errno};
  }
  return OsError{"every .bad name up to .999.bad is taken"};
}

}  // namespace vidoria
