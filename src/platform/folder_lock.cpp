#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <thread>

namespace vidoria {

namespace {

// flock, going on when a signal interrupts it.
int Flock(int fd, int operation) {
  int result;
  do {
    result = ::flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  return result;
}

}  // namespace

OsResult<FolderLock, FolderLockError> TakeFolderLock(const std::string& folder) {
  const std::string path = folder + std::string(kFolderLockFileName);
  // Read-only is enough for flock, and it keeps working where the file exists but its folder
  // has become read-only. No O_TRUNC: the file of a running holder stays as it is.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644));
  if (!fd.Valid()) return FolderLockError{false, OsError{"cannot open " + path, errno}};
  const auto giveUpAt = std::chrono::steady_clock::now() + kLockLookGrace;
  while (Flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) return FolderLockError{false, OsError{"cannot lock " + path, errno}};
    if (std::chrono::steady_clock::now() >= giveUpAt) return FolderLockError{true, {}};
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return FolderLock(std::move(fd));
}

OsResult<bool> FolderLockHeld(const std::string& folder) {
  const std::string path = folder + std::string(kFolderLockFileName);
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!fd.Valid()) {
    if (errno == ENOENT) return false;
    return OsError{"cannot open " + path, errno};
  }
  // Shared, so that two lookers never see each other as a program.
  if (Flock(fd.Get(), LOCK_SH | LOCK_NB) == 0) return false;  // closing fd lets it go
  if (errno == EWOULDBLOCK) return true;
  return OsError{"cannot lock " + path, errno};
}

}  // namespace vidoria
