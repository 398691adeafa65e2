// One program at a time per folder: an exclusive flock(2) on a lock file inside the folder.
//
// The lock belongs to the open file description, so it ends with the process however the process
// ends: a crash or kill -9 leaves the (empty) file behind but no lock, and the next start takes
// it. The descriptor is close-on-exec, so the tools a program starts (the player, the fast-start
// tool) never hold the lock on its behalf. Two attempts in one process are two holders and
// exclude each other like two processes.
//
// Plain functions; any thread. A FolderLock is a move-only owner like UniqueFd.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/result.h"
#include "platform/unique_fd.h"

namespace vidoria {

inline constexpr std::string_view kFolderLockFileName = "vidoria.lock";

// Holds the lock while it lives (or until Release).
class FolderLock {
 public:
  FolderLock() = default;  // holds nothing
  explicit FolderLock(UniqueFd fd) : fd_(std::move(fd)) {}

  bool Held() const { return fd_.Valid(); }
  // Gives the lock up now.
  void Release() { fd_ = UniqueFd(); }

 private:
  UniqueFd fd_;
};

struct FolderLockError {
  // Another holder has the lock: a program runs on the folder.
  bool heldByAnother = false;
  // Otherwise: why the lock file could not be opened or locked.
  OsError os;
};

// A look (FolderLockHeld) holds the lock for a moment; an attempt that meets one tries again for
// this long before it counts the lock as another program's.
inline constexpr std::chrono::milliseconds kLockLookGrace{250};

// Takes the lock of `folder` (a path ending in '/'), creating the empty lock file when missing;
// nothing else in the folder is touched. Fails with heldByAnother when a holder kept the lock
// through kLockLookGrace, or with the system's reason ("cannot open <file>", "cannot lock <file>").
OsResult<FolderLock, FolderLockError> TakeFolderLock(const std::string& folder);

// Whether some holder has the lock of `folder` now, found by taking a shared lock and letting it
// go at once; a later caller's question that keeps nothing. Creates nothing: without a lock file
// nobody holds it. Fails only when the file exists but cannot be opened or locked.
OsResult<bool> FolderLockHeld(const std::string& folder);

}  // namespace vidoria
