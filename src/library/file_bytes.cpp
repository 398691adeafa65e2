#include "library/file_bytes.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "library/file_names.h"

namespace vidoria {
namespace {

std::string ErrnoText(int error) {
  return std::strerror(error);
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now so that a failing close (delayed write errors on some file systems) is seen.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// A name no other writer in this or another process picks at the same time; O_EXCL makes sure.
std::string TemporaryNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// The rename is only durable once the folder's entry is on disk too. Best effort: a folder that
// cannot be opened or synced does not make an otherwise finished write fail.
void SyncFolderOf(const std::string& path) {
  std::string folder = FolderOf(path);
  if (folder.empty()) folder = ".";
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
}

}  // namespace

std::string ReadFileBytes(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw StoreError("Cannot read", path, "cannot be opened: " + ErrnoText(errno));
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw StoreError("Cannot read", path, ErrnoText(errno));
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = TemporaryNameFor(path);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    throw StoreError("Cannot write", path,
                     "cannot create a file in its folder: " + ErrnoText(errno));
  }
  Fd file(fd);
  auto fail = [&](const std::string& what) {
    const int error = errno;
    if (file.get() >= 0) file.Close();
    ::unlink(temp.c_str());
    throw StoreError("Cannot write", path, what + ": " + ErrnoText(error));
  };

  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ::fchmod(file.get(), old.st_mode & 07777);
  }
  if (!WriteAll(file.get(), bytes)) fail("write failed");
  if (::fsync(file.get()) != 0) fail("flush failed");
  if (file.Close() != 0) fail("close failed");
  if (::rename(temp.c_str(), path.c_str()) != 0) fail("cannot replace it");
  SyncFolderOf(path);
}

std::string MoveAside(const std::string& path) {
  for (int k = 0; k < 1000; ++k) {
    const std::string aside = k == 0 ? path + ".bad" : path + "." + std::to_string(k) + ".bad";
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
      return aside;
    }
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) {
      throw StoreError("Cannot move aside", path, ErrnoText(errno));
    }
    // File systems without RENAME_NOREPLACE: check, then rename. Only the main thread sets files
    // aside, so nothing races for the name in between.
    struct stat st {};
    if (::lstat(aside.c_str(), &st) == 0) continue;
    if (::rename(path.c_str(), aside.c_str()) == 0) return aside;
    throw StoreError("Cannot move aside", path, ErrnoText(errno));
  }
  throw StoreError("Cannot move aside", path, "every .bad name up to .999.bad is taken");
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

}  // namespace vidoria
