#include "library/streaming.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/file_names.h"

namespace vidoria {

namespace {

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

void Rename(const std::string& from, const std::string& to, const std::string& whereIsFile) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    throw StreamingError("Could not rename " + from + " to " + to + ": " + std::strerror(errno) +
                         ". " + whereIsFile);
  }
}

// Step 8 of every way out, exceptions included.
class ClearStatusOnExit {
 public:
  explicit ClearStatusOnExit(StatusBoard& status) : status_(status) {}
  ~ClearStatusOnExit() {
    if (armed_) status_.Clear();
  }
  void Release() { armed_ = false; }

 private:
  StatusBoard& status_;
  bool armed_ = true;
};

}  // namespace

std::optional<StreamingRun> StartStreaming(const std::string& path,
                                           const std::string& faststartTool, ToolRunner& helper,
                                           StatusBoard& status) {
  ClearStatusOnExit clearStatus(status);
  if (!FileExists(path) || ExtensionOf(path) != "mp4") return std::nullopt;
  const std::string name = FileNameOf(path);
  if (name == kStreamingTemporaryName) {
    status.Show("Could not enable streaming on " + name +
                ": the name is reserved for the copy being rewritten");
    return std::nullopt;
  }
  if (helper.Busy()) {
    status.Show("Could not enable streaming on " + name + ": the fast-start tool is busy");
    return std::nullopt;
  }

  status.Show("Enabling Streaming on " + name);
  const std::string temporary = FolderOf(path) + kStreamingTemporaryName;
  std::remove(temporary.c_str());  // a leftover of an interrupted run; failing is harmless
  Rename(path, temporary, "The file is unchanged.");

  if (OsStatus started = helper.Start({faststartTool, temporary, path}); !started) {
    Rename(temporary, path, "The file is kept as " + temporary + ".");
    const std::string message =
        "Could not start " + faststartTool + ": " + ErrnoText(started.Error().code);
    status.Show(message);
    throw StreamingError(message);
  }
  clearStatus.Release();  // the status names the file while the tool runs
  return StreamingRun{path, temporary};
}

bool FinishStreaming(const StreamingRun& run, StatusBoard& status) {
  ClearStatusOnExit clearStatus(status);
  status.Show("Streaming enabled");
  if (FileExists(run.path)) {
    std::remove(run.temporary.c_str());
    return true;
  }
  status.Show("Could not enable streaming");
  Rename(run.temporary, run.path, "The file is kept as " + run.temporary + ".");
  return false;
}

bool EnableStreaming(const std::string& path, const std::string& faststartTool, ToolRunner& helper,
                     StatusBoard& status, const std::function<void()>& pump) {
  const std::optional<StreamingRun> run = StartStreaming(path, faststartTool, helper, status);
  if (!run) return false;
  try {
    helper.Wait(pump);
  } catch (...) {
    status.Clear();
    throw;
  }
  return FinishStreaming(*run, status);
}

}  // namespace vidoria
