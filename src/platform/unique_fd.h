// The one owner of a file descriptor: closes it when it goes, unless released first.
// Not thread-safe; an owner moves between threads only with the descriptor.
#pragma once

#include "platform/result.h"

namespace vidoria {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd();

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Gives up ownership and returns the descriptor (-1 when there was none).
  int Release();
  // Closes now and reports what close() says ("close failed"): some file systems report delayed
  // write errors only there, so a written file must be closed this way. The descriptor is gone
  // either way; Linux releases it even when close() fails, so it is never closed twice.
  OsStatus Close();

 private:
  int fd_ = -1;
};

}  // namespace vidoria
