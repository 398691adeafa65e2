// Whole-file reads and writes and setting damaged files aside: the byte layer under the grid and
// line files and the tools. Atomic replacement is in atomic_write.h. Plain functions without
// shared state; any thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/result.h"

namespace vidoria {

// The file's bytes. Errors: "cannot be opened" with the system's reason; a failed read has the
// system's reason alone (empty `what`).
OsResult<std::string> ReadFileBytes(const std::string& path);

// Writes all of `bytes` at the descriptor's position, going on after short writes and EINTR.
// Error: "write failed".
OsStatus WriteAll(int fd, std::string_view bytes);

// Renames `path` to the first free name of path + ".bad", path + ".1.bad", path + ".2.bad", ...
// without replacing anything, and returns that name. Errors: the system's reason alone, or "every
// .bad name up to .999.bad is taken". Only one thread may set a given file aside at a time.
OsResult<std::string> MoveAside(const std::string& path);

}  // namespace vidoria
