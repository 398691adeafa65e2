// Replacing a file so that a crash, a full disk or any failed step leaves either its old content
// or the new one, never a mix. Every file the program or its tools replace goes through here.
//
// The steps, the same for every caller:
// 1. A new file is created beside the destination (the same file system, so the rename in step 6
//    is atomic) under a name no other writer picks at the same time: path + ".tmp-<pid>-<n>",
//    opened with O_EXCL.
// 2. Its permission bits: options.mode when given, else those of the file it replaces (best
//    effort), else those of any new file (0666 less the umask).
// 3. The content is written.
// 4. The data are flushed to disk (fsync) BEFORE the rename; without it a crash soon after the
//    rename can leave the name pointing at an empty or partial file.
// 5. The file is closed, and close's result counts (delayed write errors show there).
// 6. It is renamed over the destination.
// 7. The folder is flushed (fsync) AFTER the rename, so that the new name survives a crash too.
//    Best effort: a folder that cannot be opened or synced does not fail a finished write.
// When a step up to 6 fails, the new file is removed, the destination is untouched and the error
// says which step failed.
//
// Plain functions without shared state; any thread, but two writers of one path must not overlap.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace vidoria {

// The steps above that can fail.
enum class WriteStep { kCreate, kMode, kContent, kFlush, kClose, kReplace };

// `what` words the step to follow the destination's name: "cannot create a file in its folder",
// "cannot set permissions", "write failed", "flush failed", "close failed", "cannot replace it".
// A content writer's own error comes back as it gave it, with step kContent.
struct WriteError : OsError {
  WriteStep step = WriteStep::kCreate;
};

struct AtomicWriteOptions {
  // Permission bits for the new file; failing to set them fails the write.
  std::optional<mode_t> mode;
  // Told the new file's path right after it is created, and "" once it has been renamed or
  // removed, so that a signal handler can remove a half-written one. Same thread as the write.
  std::function<void(const std::string& tempPath)> tempFileChanged;
};

// Writes the content through `write`, which gets the new file's descriptor at offset 0 and must
// leave the file as it should be (it may seek and set the size); then steps 4 to 7.
using ContentWriter = std::function<OsStatus(int fd)>;
OsStatusOf<WriteError> WriteFileAtomicallyWith(const std::string& path, const ContentWriter& write,
                                               const AtomicWriteOptions& options = {});

// Replaces the file with `bytes`.
OsStatusOf<WriteError> WriteFileAtomically(const std::string& path, std::string_view bytes,
                                           const AtomicWriteOptions& options = {});

// Removes the new files of step 1 that earlier writers of `path` left behind when they were killed
// between steps 1 and 6: path + ".tmp-<pid>-<n>" whose process no longer runs. Nothing ever reads
// them, but each crash during a save would leave one more. A file of a running process (this one
// included) may be being written right now and is kept; so is anything else in the folder.
// Returns the names removed. Call it before this process writes `path`.
std::vector<std::string> RemoveAbandonedTemporaryFiles(const std::string& path);

}  // namespace vidoria
