#include "platform/unique_fd.h"

#include <unistd.h>

#include <cerrno>

namespace vidoria {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

int UniqueFd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

OsStatus UniqueFd::Close() {
  if (fd_ >= 0 && ::close(Release()) != 0) return OsError{"close failed", errno};
  return OsOk();
}

}  // namespace vidoria
