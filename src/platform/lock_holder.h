// Who holds a folder's lock (folder_lock.h): the kernel lists every flock(2) with the process
// that took it and the locked file's device and inode (/proc/locks). A look, never a claim: it
// takes nothing and may be out of date as soon as it returns.
//
// Plain functions; any thread.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace vidoria {

// The process of the exclusive flock on the file with `device` and `inode`, from the text of
// /proc/locks; nullopt when none is listed (shared locks, the looks, and waiters, "->", are no
// holders). Pure.
std::optional<pid_t> FlockHolder(std::string_view procLocks, dev_t device, ino_t inode);

// The program name (/proc/PID/comm, e.g. "vidoriad") of the process holding the lock of
// `folder` (a path ending in '/'); "" when nobody holds it or the holder cannot be seen (another
// PID namespace, no /proc).
std::string FolderLockHolderName(const std::string& folder);

}  // namespace vidoria
