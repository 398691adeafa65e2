#include "platform/atomic_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <memory>

#include "platform/descriptor_reserve.h"
#include "platform/file_bytes.h"
#include "platform/file_names.h"
#include "platform/unique_fd.h"

namespace vidoria {
namespace {

WriteError Failed(WriteStep step, const char* what, int code) {
  WriteError error;
  error.what = what;
  error.code = code;
  error.step = step;
  return error;
}

constexpr std::string_view kTemporaryInfix = ".tmp-";

// A name no other writer in this or another process picks at the same time; O_EXCL makes sure.
std::string TemporaryNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + std::string(kTemporaryInfix) + std::to_string(::getpid()) + "-" +
         std::to_string(counter++);
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The writer's process id when `name` is `destination` + ".tmp-<pid>-<n>".
std::optional<pid_t> WriterOf(std::string_view name, std::string_view destination) {
  if (!name.starts_with(destination)) return std::nullopt;
  name.remove_prefix(destination.size());
  if (!name.starts_with(kTemporaryInfix)) return std::nullopt;
  name.remove_prefix(kTemporaryInfix.size());
  const size_t dash = name.find('-');
  if (dash == std::string_view::npos || !AllDigits(name.substr(0, dash)) ||
      !AllDigits(name.substr(dash + 1))) {
    return std::nullopt;
  }
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + dash, pid);
  if (error != std::errc() || pid <= 0) return std::nullopt;
  return pid;
}

bool Running(pid_t pid) {
  // EPERM: it runs, under another user.
  return pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH;
}

// Step 7.
void SyncFolderOf(const std::string& path) {
  std::string folder = FolderOf(path);
  if (folder.empty()) folder = ".";
  UniqueFd dir(
      OpenUsingReserve([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (dir.Valid()) ::fsync(dir.Get());
}

// The new file of steps 1 to 6: removed, and its watcher told, unless it was renamed.
class TemporaryFile {
 public:
  explicit TemporaryFile(const AtomicWriteOptions& options) : options_(options) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (path_.empty()) return;
    fd_ = UniqueFd();
    ::unlink(path_.c_str());
    Told("");
  }

  OsStatusOf<WriteError> Create(const std::string& destination) {
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
      std::string name = TemporaryNameFor(destination);
      fd_ = UniqueFd(OpenUsingReserve(
          [&] { return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }));
      if (fd_.Valid()) {
        path_ = std::move(name);
        Told(path_);
        return Done{};
      }
      error = errno;
    }
    return Failed(WriteStep::kCreate, "cannot create a file in its folder", error);
  }

  int Fd() const { return fd_.Get(); }
  UniqueFd& Descriptor() { return fd_; }

  OsStatusOf<WriteError> RenameTo(const std::string& destination) {
    if (::rename(path_.c_str(), destination.c_str()) != 0) {
      return Failed(WriteStep::kReplace, "cannot replace it", errno);
    }
    path_.clear();
    Told("");
    return Done{};
  }

 private:
  void Told(const std::string& path) {
    if (options_.tempFileChanged) options_.tempFileChanged(path);
  }

  const AtomicWriteOptions& options_;
  UniqueFd fd_;
  std::string path_;
};

}  // namespace

OsStatusOf<WriteError> WriteFileAtomicallyWith(const std::string& path, const ContentWriter& write,
                                               const AtomicWriteOptions& options) {
  // Goes after the new file's descriptor, so that the reserve can have its slot back.
  struct Refill {
    ~Refill() { RefillDescriptorReserve(); }
  } refill;
  TemporaryFile temp(options);
  if (auto created = temp.Create(path); !created) return created;

  if (options.mode) {
    if (::fchmod(temp.Fd(), *options.mode) != 0) {
      return Failed(WriteStep::kMode, "cannot set permissions", errno);
    }
  } else {
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
      ::fchmod(temp.Fd(), old.st_mode & 07777);
    }
  }

  if (OsStatus written = write(temp.Fd()); !written) {
    WriteError error;
    static_cast<OsError&>(error) = written.Error();
    error.step = WriteStep::kContent;
    return error;
  }
  if (::fsync(temp.Fd()) != 0) return Failed(WriteStep::kFlush, "flush failed", errno);
  if (OsStatus closed = temp.Descriptor().Close(); !closed) {
    return Failed(WriteStep::kClose, "close failed", closed.Error().code);
  }
  if (auto renamed = temp.RenameTo(path); !renamed) return renamed;
  SyncFolderOf(path);
  return Done{};
}

OsStatusOf<WriteError> WriteFileAtomically(const std::string& path, std::string_view bytes,
                                           const AtomicWriteOptions& options) {
  return WriteFileAtomicallyWith(
      path, [bytes](int fd) { return WriteAll(fd, bytes); }, options);
}

std::vector<std::string> RemoveAbandonedTemporaryFiles(const std::string& path) {
  std::vector<std::string> removed;
  const std::string folder = FolderOf(path);
  const std::string name = FileNameOf(path);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                          ::closedir);
  if (!dir) return removed;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::optional<pid_t> writer = WriterOf(entry->d_name, name);
    if (!writer || Running(*writer)) continue;
    if (::unlinkat(::dirfd(dir.get()), entry->d_name, 0) == 0) removed.push_back(entry->d_name);
  }
  return removed;
}

}  // namespace vidoria
