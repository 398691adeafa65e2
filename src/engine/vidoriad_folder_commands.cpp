// `vidoriad watch` and `unwatch`: the watched folders as "Add folder to library" and "Remove
// folder" change them, stored in the folders file in the order the window lists them. All or
// nothing: one folder refused leaves the file as it was.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "engine/scan_input.h"
#include "engine/vidoriad_command_parts.h"
#include "library/scanner.h"
#include "library/stored_files.h"
#include "library/table_layouts.h"

namespace vidoria {
namespace {

// A folder as typed, made absolute: the server's working folder is not the shell's.
std::string Absolute(const std::string& typed) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(typed, ec);
  return ec ? typed : absolute.lexically_normal().string();
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The watched folders of the claimed data folder, as a start loads them.
class WatchedFolders {
 public:
  WatchedFolders(const CommandContext& context, const std::string& dataFolder)
      : context_(context), path_(dataFolder + std::string(kFoldersFileName)) {
    std::vector<std::string> folders;
    if (auto notice = ReadLineFileOrSetAside(folders, path_)) {
      *context_.err << "vidoriad: " << *notice << std::endl;
    }
    scanner_.SetFolders(std::move(folders));
  }

  Scanner& Folders() { return scanner_; }
  bool Watched(const std::string& folder) const {
    return std::ranges::find(scanner_.Folders(), folder) != scanner_.Folders().end();
  }
  bool Store() {
    try {
      // Each folder was checked for line breaks as it came in; none is left out.
      (void)WriteLineFile(path_, scanner_.SortedFolders());
      return true;
    } catch (const LibraryError& e) {
      *context_.err << "vidoriad: " << e.what() << std::endl;
      return false;
    }
  }

 private:
  const CommandContext& context_;
  const std::string path_;
  // The scanner is where the window's rules for the folder list live; this one never scans.
  Table library_{LibraryColumn::kCount, 1};
  ActivityLog log_;
  StatusBoard status_{log_};
  Scanner scanner_{library_, status_};
};

int Refuse(const CommandContext& context, const std::vector<std::string>& refusals) {
  for (const std::string& refusal : refusals) *context.err << "vidoriad: " << refusal << std::endl;
  *context.err << "vidoriad: nothing was changed." << std::endl;
  return 1;
}

}  // namespace

int Watch(const CommandContext& context, const std::vector<std::string>& folders) {
  const auto claim = ClaimForChange(context);
  if (!claim) return 1;
  WatchedFolders watched(context, claim->dataFolder);
  std::vector<std::string> refusals;
  std::vector<std::string> added;
  for (const std::string& typed : folders) {
    const std::string folder = Absolute(typed);
    if (auto problem = ScanInputProblem(folder)) {
      refusals.push_back(std::move(*problem));
    } else if (!IsFolder(folder)) {
      refusals.push_back("Not added: " + folder + " is not a folder.");
    } else if (watched.Watched(WatchedFolderText(folder))) {
      // Watched twice, it would be walked twice in every pass.
      *context.out << WatchedFolderText(folder) << " is watched already." << std::endl;
    } else {
      watched.Folders().AddWatchedFolder(folder);
      added.push_back(watched.Folders().Folders().back());
    }
  }
  if (!refusals.empty()) return Refuse(context, refusals);
  if (added.empty()) return 0;
  if (!watched.Store()) return 1;
  for (const std::string& folder : added) *context.out << "Watching " << folder << std::endl;
  *context.out << "Their files join the library at the next scan: vidoriad scan" << std::endl;
  return 0;
}

int Unwatch(const CommandContext& context, const std::vector<std::string>& folders) {
  const auto claim = ClaimForChange(context);
  if (!claim) return 1;
  WatchedFolders watched(context, claim->dataFolder);
  std::vector<std::string> refusals;
  std::vector<std::string> removed;
  for (const std::string& typed : folders) {
    // A folder that is gone can still be unwatched, so nothing here asks the file system; a
    // hand-written entry without the trailing '/' is found as typed.
    const std::string folder = WatchedFolderText(Absolute(typed));
    if (watched.Watched(folder)) {
      removed.push_back(folder);
    } else if (watched.Watched(typed)) {
      removed.push_back(typed);
    } else {
      refusals.push_back(folder + " is not a watched folder.");
    }
  }
  if (!refusals.empty()) return Refuse(context, refusals);
  watched.Folders().RemoveWatchedFolders(removed);
  if (!watched.Store()) return 1;
  for (const std::string& folder : removed) {
    *context.out << "No longer watching " << folder << " (its files stay in the library)"
                 << std::endl;
  }
  return 0;
}

}  // namespace vidoria
