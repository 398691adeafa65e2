// The scan: the queue of paths waiting to be scanned, the watched folders, and one scan pass
// that walks them and adds every .mp4 file to the library table.
//
// Owner's (main) thread only, but for the walk: a pass lists the folders on a thread of its own,
// so that a window stays usable while thousands of files are found, and the owner adds the rows
// in slices (ContinuePass) between its other work. The window (or the engine without one)
// drives it: its 2 s scan timer calls BeginPass() while ScanTimerEnabled(), its ticks
// ContinuePass(), its rescan timer QueueWatchedFolders().
// The Scanner refers to the library table and status board it was given; both must outlive it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <unordered_set>
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
    // Lists the files under a folder, on the walk's thread. Default: ListFilesRecursive.
    std::function<std::vector<std::string>(const std::string& folder, const WalkWatch& watch)>
        listFiles;
    // On the walk's thread when it has listed everything: the rows wait for ContinuePass. May
    // be empty.
    std::function<void()> walked;
  };

  Scanner(Table& libraryTable, StatusBoard& status, Hooks hooks = {});
  Scanner(const Scanner&) = delete;
  Scanner& operator=(const Scanner&) = delete;
  ~Scanner();  // a running pass is stopped

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
  // queue, the timer is disabled, the queue is emptied into a copy sorted like a list, and the
  // pass begins (true): on its own thread, a queued link is replaced by its target and existing
  // folders are walked ("Scanning <folder>"), in sorted order, after the queued files; a
  // subfolder that cannot be read is logged ("Cannot read <folder>: <reason>").
  // Then ContinuePass adds every path of the pass with extension "mp4" as "MOVIE" with its
  // 1-based position among all paths of the pass ("NAME (i of n)"), except symbolic links found
  // by a walk: a link is this platform's shortcut, and a shortcut inside a folder is not a file
  // of it (only a link handed over itself stands for its target). Links still count in the
  // positions. At the end afterPass() runs.
  bool BeginPass();
  // Adds the rows of a pass whose walk has ended, for about `budget`; ends the pass when every
  // row is in. True while the pass still runs (walking, or rows left).
  bool ContinuePass(std::chrono::steady_clock::duration budget);
  // Waits for the walk and adds every row: the whole pass at once (BeginPass first).
  void FinishPass();
  // BeginPass and FinishPass: one whole pass, for a caller that may wait. False as BeginPass.
  bool ScanPass();
  // Ends a running pass at once (the program closes): the walk stops at its next folder, the
  // rows added so far stay, afterPass() does not run.
  void StopPass();

  bool Scanning() const { return scanning_; }
  // The running pass has walked its folders and adds rows: more ContinuePass calls are due now.
  bool AddingRows() const { return scanning_ && walkTaken_; }
  bool ScanTimerEnabled() const { return scanTimerEnabled_; }
  void SetScanTimerEnabled(bool enabled) { scanTimerEnabled_ = enabled; }
  const std::vector<std::string>& QueuedPaths() const { return queue_; }

  // The watched folders in the order they were added; SortedFolders() is the order the window
  // shows them in and the folders file stores them in.
  const std::vector<std::string>& Folders() const { return folders_; }
  std::vector<std::string> SortedFolders() const;
  void SetFolders(std::vector<std::string> folders) { folders_ = std::move(folders); }

 private:
  // What the walk hands over when it ends (through the thread's join).
  struct Walked {
    std::vector<std::string> files;  // the pass's paths: queued files, then walked ones
    size_t firstWalked = 0;          // files[firstWalked...] were found by walking
  };

  void Walk(std::vector<std::string> sorted);
  bool TakeWalk();
  void AddRows(std::chrono::steady_clock::time_point until);
  void EndPass();

  Table& libraryTable_;
  StatusBoard& status_;
  Hooks hooks_;
  std::vector<std::string> queue_;
  std::vector<std::string> folders_;
  bool scanning_ = false;
  bool scanTimerEnabled_ = false;

  // The running pass. walker_ writes walked_ and then sets walkEnded_; the owner reads walked_
  // only after joining it.
  std::thread walker_;
  std::atomic<bool> walkEnded_{false};
  std::atomic<bool> stopWalk_{false};
  Walked walked_;
  bool walkTaken_ = false;                 // owner: walked_ is joined and being added
  size_t nextRow_ = 0;                     // owner: the next path of walked_.files to add
  std::unordered_set<std::string> known_;  // owner: the library's paths, and those added
};

// How "Add folder to library" writes a folder: the first "//" becomes "/" and it ends in '/'.
// The folders file holds folders in this form, so a folder is found there by it.
std::string WatchedFolderText(std::string path);

// The first run's offer: the user's video folder, then the machine's shared one, each only when it
// is an existing folder. Throws std::runtime_error("Could not determine My Documents path") as
// MyVideoFolder does; the offer is then abandoned.
std::vector<std::string> FirstRunFolders(const EnvLookup& env = SystemEnv);

}  // namespace vidoria
