// Making an MP4 file playable while it downloads: the fast-start tool rewrites it in place
// (index before the media data), with the original kept aside until the tool has succeeded.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "library/activity_log.h"
#include "library/library_error.h"
#include "platform/process_runner_tool.h"

namespace vidoria {

// The name the file carries while the tool reads it, in the file's own folder.
inline constexpr const char* kStreamingTemporaryName = "qfsTemp.mp4";

// A file left in a state the user must know about, or a tool that could not be started.
class StreamingError : public LibraryError {
 public:
  using LibraryError::LibraryError;
};

// Rewrites the MP4 file at `path` with `faststartTool` (its full path), run on `helper` as
//   "tool" "folder/qfsTemp.mp4" "path"
// and waits for it with the pumping wait (`pump` serves the window meanwhile). Main thread.
//
// Returns true when the tool left a file at `path` (then the original is deleted), false when
// nothing was done: no file at `path`, not an .mp4 path, a file itself named qfsTemp.mp4 (it
// would be deleted as a leftover), the helper still busy (a call from inside another one's
// wait, which would take the same temporary name), or no output from the tool (the original is
// back under its own name). Presence of the output is the test, not the exit status: our tool
// writes its output only when it has succeeded.
//
// Shows and logs "Enabling Streaming on NAME", "Streaming enabled" and, without output,
// "Could not enable streaming"; the status is cleared on every way out.
// Throws StreamingError when a rename fails (the message says where the file is now) and when
// the tool cannot be started; then the file is back under its own name and the helper is not
// busy, and the message has been logged as well.
bool EnableStreaming(const std::string& path, const std::string& faststartTool, ToolRunner& helper,
                     StatusBoard& status, const std::function<void()>& pump);

// The same in two halves, for an owner that does not wait: StartStreaming does everything up to
// the tool's start and returns the run to finish, or nullopt when nothing was started (then it
// returned as EnableStreaming returns false, status cleared). Once the helper is no longer busy,
// FinishStreaming does the rest and returns what EnableStreaming returns. Both throw as
// EnableStreaming does.
struct StreamingRun {
  std::string path;       // the file being rewritten
  std::string temporary;  // where the original waits meanwhile
};
std::optional<StreamingRun> StartStreaming(const std::string& path,
                                           const std::string& faststartTool, ToolRunner& helper,
                                           StatusBoard& status);
bool FinishStreaming(const StreamingRun& run, StatusBoard& status);

}  // namespace vidoria
