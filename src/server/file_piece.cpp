#include "server/file_piece.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <utility>

namespace vidoria {

FilePiece FilePiece::Open(const std::string& path, int64_t offset, int64_t length) {
  FilePiece piece;
  if (offset < 0 || length <= 0) return piece;
  // Non-blocking: a FIFO put where a file was expected must not stall a worker.
  piece.fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (piece.fd_ < 0) return piece;
  struct stat status {};
  if (::fstat(piece.fd_, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= offset) {
    piece.Close();
    return piece;
  }
  // A file shorter now than when the answer began gives a shorter piece, as a read would.
  piece.offset_ = offset;
  piece.length_ = std::min<int64_t>(length, status.st_size - offset);
  return piece;
}

FilePiece::FilePiece(FilePiece&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      offset_(std::exchange(other.offset_, 0)),
      length_(std::exchange(other.length_, 0)) {}

FilePiece& FilePiece::operator=(FilePiece&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    offset_ = std::exchange(other.offset_, 0);
    length_ = std::exchange(other.length_, 0);
  }
  return *this;
}

void FilePiece::Advance(int64_t n) {
  assert(n >= 0 && n <= length_);
  offset_ += n;
  length_ -= n;
}

bool FilePiece::ReadInto(std::string& out) const {
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(length_));
  size_t done = 0;
  while (done < static_cast<size_t>(length_)) {
    const ssize_t n = ::pread(fd_, out.data() + start + done, static_cast<size_t>(length_) - done,
                              static_cast<off_t>(offset_ + static_cast<int64_t>(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  out.resize(start + done);
  return done == static_cast<size_t>(length_);
}

void FilePiece::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  offset_ = length_ = 0;
}

}  // namespace vidoria
