// Paths that enter the scan: the ones the user hands over (dropped, chosen in the file or folder
// dialog) and the files a folder walk finds. The stored files keep one cell per line, so a name
// holding CR or LF must never reach the library table: the library file cannot hold it (its
// writer would have to leave the row out). Plain functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/activity_log.h"
#include "library/line_breaks.h"  // HasLineBreak, Printable

namespace vidoria {

// Why a path the user handed over is not queued, or nothing: its name (or, for a link, its
// target's) holds a line break; it does not exist; it is a folder that cannot be listed or a
// file that cannot be read. The message names the path.
std::optional<std::string> ScanInputProblem(const std::string& path);

// The files of a walk of `folder` without the .mp4 paths holding a line break; each one left
// out gets an activity line naming the folder it lies in. Other paths stay: the scan skips
// them anyway, and they keep their place in the pass's count.
std::vector<std::string> WithoutLineBreaks(std::vector<std::string> files, ActivityLog& log);

}  // namespace vidoria
