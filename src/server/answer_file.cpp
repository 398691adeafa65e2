#include "server/answer_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vidoria {

AnswerFile::AnswerFile(AnswerFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::exchange(other.path_, {})) {}

AnswerFile& AnswerFile::operator=(AnswerFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::exchange(other.path_, {});
  }
  return *this;
}

AnswerFile AnswerFile::Adopt(int fd, std::string path) {
  AnswerFile file;
  file.fd_ = fd;
  file.path_ = std::move(path);
  return file;
}

bool AnswerFile::Open(const std::string& path) {
  if (fd_ >= 0 && path == path_) return true;
  Close();
  // Non-blocking: a FIFO put where a file was expected must not stall a worker.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  path_ = path;
  return true;
}

bool AnswerFile::ReadInto(int64_t offset, int64_t length, std::string& out) const {
  const size_t start = out.size();
  const auto want = static_cast<size_t>(length);
  out.resize(start + want);
  size_t done = 0;
  while (fd_ >= 0 && done < want) {
    const ssize_t n = ::pread(fd_, out.data() + start + done, want - done,
                              static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  out.resize(start + done);
  return done == want;
}

void AnswerFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  std::string().swap(path_);
}

}  // namespace vidoria
