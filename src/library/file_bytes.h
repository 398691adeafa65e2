// Whole-file reads, atomic replacement and setting damaged files aside: the byte layer under the
// grid and line files. Plain functions without shared state; any thread, but two writers of the
// same path must not overlap.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "library/store_error.h"

namespace vidoria {

// The file's bytes. Throws StoreError("Cannot read", ...) when it cannot be opened or read.
std::string ReadFileBytes(const std::string& path);

// Replaces the file with `bytes` so that a crash or a full disk leaves either the old or the new
// content, never a mix: a new file in the same folder is written, flushed to disk and renamed over
// the old one. The old file's permission bits are kept. Throws StoreError("Cannot write", ...);
// the old file is then untouched and no temporary file is left behind.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// Renames `path` to the first free name of path + ".bad", path + ".1.bad", path + ".2.bad", ...
// without replacing anything, and returns that name. Throws StoreError("Cannot move aside", ...).
std::string MoveAside(const std::string& path);

// Lines ended by CR, LF or CR LF; a last line without an ending still counts, an ending at the very
// end starts no further line ("a\r\n" is one line, "" none).
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace vidoria
