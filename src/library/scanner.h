// The scan: the queue of paths waiting to be scanned, the watched folders, and one scan pass
// that walks them and adds every .mp4 file to the library table.
//
// Main thread only; not thread-safe. The window (or the engine without one) drives it: its 2 s
// scan timer calls ScanPass() while ScanTimerEnabled(), its rescan timer QueueWatchedFolders().
// The Scanner refers to the library table and status board it was given; both must outlive it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "library/activity_log.h"
#include "library/table.h"
#include "library/user_folders.h"
#include "platform/folder_walk.h"

namespace vidoria {

class Scanner {
 public:
  struct Hooks {
    // True while an external tool runs; the pass then waits for a later tick. Default: never.
    std::function<bool()> helperBusy;
    // After every pass that ran; the engine regenerates the library pages and stores the library.
    std::function<void()> afterPass;
    // Lists the files under a folder. Default: ListFilesRecursive.
    std::function<std::vector<std::string>(const std::string& folder)> listFiles;
  };

  Scanner(Table& libraryTable, StatusBoard& status, Hooks hooks = {});

  // Queues a file, folder or link for the next pass and enables the scan timer.
  void Queue(std::string path);
  // Paths dropped on the window: each whose text is not blank is queued as it is (dropped folders
  // are not watched). Shows "<queue size> item added" / "... items added".
  void QueueDropped(const std::vector<std::string>& paths);
  // "Add folder to library": the first "//" becomes "/", a trailing '/' is ensured, and the folder
  // is watched and queued. "" is ignored.
  void AddWatchedFolder(std::string path);
  // Stops watching the folders (every equal entry) and drops their queue entries; library rows
  // stay.
  void RemoveWatchedFolders(const std::vector<std::string>& selection);
  // The periodic rescan: queues every watched folder.
  void QueueWatchedFolders();

  // One tick of the scan timer. Does nothing and returns false while a pass runs or a helper is
  // busy, or when nothing is queued and nothing watched. Otherwise: the watched folders join the
  // queue, the timer is disabled, the queue is emptied into a copy sorted like a list; a queued
  // link is replaced by its target; existing folders are walked ("Scanning <folder>"), in sorted
  // order, after the queued files; every path of the pass with extension "mp4" is added as
  // "MOVIE" with its 1-based position among all paths of the pass, except symbolic links found
  // by a walk: a link is this platform's shortcut, and a shortcut inside a folder is not a file
  // of it (only a link handed over itself stands for its target). Links still count in the
  // positions. afterPass() runs; true.
  bool ScanPass();

  bool Scanning() const { return scanning_; }
  bool ScanTimerEnabled() const { return scanTimerEnabled_; }
  void SetScanTimerEnabled(bool enabled) { scanTimerEnabled_ = enabled; }
  const std::vector<std::string>& QueuedPaths() const { return queue_; }

  // The watched folders in the order they were added; SortedFolders() is the order the window
  // shows them in and the folders file stores them in.
  const std::vector<std::string>& Folders() const { return folders_; }
  std::vector<std::string> SortedFolders() const;
  void SetFolders(std::vector<std::string> folders) { folders_ = std::move(folders); }

 private:
  Table& libraryTable_;
  StatusBoard& status_;
  Hooks hooks_;
  std::vector<std::string> queue_;
  std::vector<std::string> folders_;
  bool scanning_ = false;
  bool scanTimerEnabled_ = false;
};

// The first run's offer: the user's video folder, then the machine's shared one, each only when it
// is an existing folder. Throws std::runtime_error("Could not determine My Documents path") as
// MyVideoFolder does; the offer is then abandoned.
std::vector<std::string> FirstRunFolders(const EnvLookup& env = SystemEnv);

}  // namespace vidoria
