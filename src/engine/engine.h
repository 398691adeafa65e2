// The program's state and its operations, without any window: the desktop window and the
// headless program both drive one Engine.
//
// Threads: every operation is for the owner's (main) thread. Request threads read only what the
// engine publishes for them (the page buffers, the library snapshot, the access state, the log);
// what they report back (server notifications, bytes sent) waits in the engine until the owner's
// next Tick(), which hands it over on the main thread. `EngineOptions::wake` tells the owner that
// something waits, so a window can tick at once instead of at its next timer.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/process_setup.h"
#include "library/activity_log.h"
#include "library/library_table.h"
#include "library/scanner.h"
#include "library/settings.h"
#include "library/streaming.h"
#include "library/table.h"
#include "library/table_layouts.h"
#include "platform/folders.h"
#include "platform/process_memory.h"
#include "platform/process_runner_tool.h"
#include "playlists/playlist_rename.h"
#include "playlists/regeneration.h"
#include "playlists/tree_drop.h"
#include "server/core_runtime.h"
#include "site/page_buffers.h"
#include "upnp/media_server.h"
#include "web/access.h"
#include "web/data_server.h"
#include "web/library_view.h"

namespace vidoria {

inline constexpr std::string_view kProgramTitle = "Vidoria 1.4";
inline constexpr std::string_view kMissingCompanion = "Please install Kelvane v3 or v4";
inline constexpr std::string_view kFirstRunQuestion =
    "Do you want your Documents and Videos folders\rscanned for compatible files?\r";

struct EngineOptions {
  std::string programFolder;         // "" = the running executable's folder
  EnvLookup env = SystemEnv;         // HOME, XDG_*: lets tests run in a temporary home
  CoreRuntime* core = nullptr;       // nullptr = ProcessCore()
  SessionStore* sessions = nullptr;  // nullptr = the process's store
  // The data folder the program has claimed (engine/data_folder_claim.h), so that the engine
  // works in the folder whose lock is held even if another one appeared meanwhile; "" = found
  // from `env` as the claim finds it.
  std::string dataFolder;
  // The first-run question (kFirstRunQuestion); empty answers No.
  std::function<bool()> askFirstRun;
  // An error an operation met; the window shows it in a dialog. Main thread.
  std::function<void(const std::string& message)> reportError;
  // The window's part when the tables change (main thread; may be empty): the click action for
  // the tree's selected node, and the library list's rebuild.
  std::function<void()> refreshView;
  std::function<void()> rebuildLibraryList;
  // Something from a request thread waits for the next Tick(). Any thread; may be empty.
  std::function<void()> wake;
  // The window's Start action, run instead of StartServer() when the "Start server when program
  // starts" switch is ticked (by the stored settings or by SetAutorun): the window prepares its
  // controls and calls StartServer() itself, and skips the start while its Start button is
  // disabled. Main thread; empty = StartServer() unless already listening.
  std::function<void()> startAction;
};

// The server's notifications, handed to the main thread by Tick(). Each may be empty.
struct ServerNotifications {
  std::function<void()> listening;
  std::function<void()> stopped;
  // The exception's class name and message, e.g. "EWinSockException" and "Error 10048 ...".
  std::function<void(const std::string& className, const std::string& message)> listenFailed;
};

class Engine {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kScanTick{2000};
  static constexpr std::chrono::milliseconds kFirstGenerationDelay{1000};
  // The longest a tick adds scanned rows before it lets the window serve its events.
  static constexpr std::chrono::milliseconds kScanSlice{8};

  explicit Engine(EngineOptions options);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
  ~Engine();

  // ---- Life, in the window's order.
  // Finds the data folder, switches the web log on, loads the stored tables and the settings
  // (which may start the server). False when no data folder exists: then nothing was loaded and
  // nothing will be saved. A stored file that cannot be read is reported and set aside; the
  // remaining steps still run.
  bool Create();
  // The window was shown: the first generation follows after kFirstGenerationDelay.
  void Shown(Clock::time_point now);
  // Runs what is due: server notifications, tool output, the first generation, the scan tick and
  // the periodic rescan. The owner calls it often (every 100 ms or when woken).
  void Tick(Clock::time_point now);
  // The user closes the window: stop, save the settings, end the tools, save the tables.
  void Close();
  // The window is destroyed: as Close, without the users file, and stop once more. Afterwards the
  // server is gone; the engine only answers questions about its state.
  void Destroy();

  bool DataFolderOk() const { return dataFolderOk_; }
  const std::string& DataFolder() const { return dataFolder_; }
  const std::string& ProgramFolder() const { return programFolder_; }

  // ---- The server.
  void SetServerNotifications(ServerNotifications notifications);
  // Listens on the port of the settings; the outcome arrives as a notification.
  void StartServer();
  void StopServer();
  bool Listening() const;
  // The port listened on, "" while not listening.
  std::string ListeningPort() const;
  // Bytes sent to clients since the last call: the traffic meter's reading.
  uint64_t TakeBytesSent();

  // ---- Sharing with TVs and players (a UPnP MediaServer beside the web server). It runs while
  // the server listens and the switch is on; the switch is stored at once in its own file
  // (upnp/device_files.h), and starts or stops sharing at once.
  bool Sharing() const { return sharing_; }
  void SetSharing(bool on);
  bool SharingRunning() const { return mediaServer_ != nullptr; }
  // The site's generation count, which TVs see as the system update id.
  uint32_t SiteGeneration() const { return siteGeneration_.load(); }

  // ---- Settings: each takes effect at once, as a click on the control would; the file is
  // written at close.
  const Settings& CurrentSettings() const { return settings_; }
  void SetAutorun(bool on);
  void SetAutostart(bool on);
  void SetAutoscan(bool on);
  void SetScanMinutes(int minutes);
  void SetLoginRequired(bool on);
  // The credential fields as typed. Returns why they cannot be stored (then nothing changes);
  // otherwise the web login checks them from now on.
  std::optional<std::string> SetCredentials(std::string username, std::string password);
  // The port field as typed; used at the next start. Returns why it cannot be stored.
  std::optional<std::string> SetPortText(std::string text);
  bool RescanTimerEnabled() const { return folderTimerEnabled_; }
  std::chrono::milliseconds RescanInterval() const { return folderInterval_; }

  // ---- The library.
  const Table& LibraryTable() const { return libraryTable_; }
  // "_" every classified row, "MOVIE", "TV", or "" (the unused rows); set by the tree's click.
  const std::string& LibraryFilter() const { return libraryFilter_; }
  void SetLibraryFilter(std::string filter) { libraryFilter_ = std::move(filter); }
  // The library list for the filter, and storing the library file as its rebuild does.
  ListResult LibraryListing() const;
  void StoreLibrary();
  ListResult SearchLibrary(std::string_view text) const;
  // Removes the rows with these file names (and their playlist slots), then regenerates.
  void RemoveFromLibrary(const std::vector<std::string>& names);
  // The full paths of the library rows named `name` whose extension is mp4: what Play plays.
  std::vector<std::string> PathsToPlay(std::string_view name) const;
  // Regenerates the library pages, stores the library and publishes it (the end of a scan pass).
  void GenerateLibrary();

  // ---- Scanning. What the user hands over is checked where it enters (ScanInputProblem): a
  // refused path is logged, not queued, and its message returned for the window to show.
  std::vector<std::string> QueueDropped(const std::vector<std::string>& paths);
  std::optional<std::string> QueueFile(std::string path);
  std::optional<std::string> AddWatchedFolder(std::string path);
  void RemoveWatchedFolders(const std::vector<std::string>& folders);
  // A scan pass now, over the queue and every watched folder, as the scan timer's tick runs it
  // (the timer's pass is later if a pass or a fast start is running). The folders are walked on
  // a thread of the pass; Tick() adds the rows in slices of kScanSlice (an owner without `wake`
  // adds them all at once) and ends the pass.
  void ScanWatchedFolders();
  std::vector<std::string> WatchedFolders() const { return scanner_.SortedFolders(); }
  bool Scanning() const { return scanner_.Scanning(); }
  bool ScanQueued() const { return scanner_.ScanTimerEnabled(); }
  // Around every scan pass (main thread; may be empty): the window greys its buttons.
  void SetScanHooks(std::function<void()> before, std::function<void()> after);

  // ---- Fast start ("Enable streaming for PC"). Each named mp4 file of the library is rewritten
  // in turn, library view top down, playlist view bottom up. The owner never waits: Tick()
  // finishes a file once its tool has ended and starts the next. A failure is reported and the
  // next file goes on. A close ends the tool (the file gets its own name back) and starts no
  // further file. The streaming hook runs when the last file is done (at once when there is
  // none to do); names handed over while a run goes on join it.
  void EnableStreamingTopDown(const std::vector<std::string>& names);
  void EnableStreamingBottomUp(const std::vector<std::string>& names);
  bool StreamingRunning() const { return streamingRun_.has_value() || !streamingQueue_.empty(); }
  // Main thread; may be empty: the window gives its buttons back.
  void SetStreamingHook(std::function<void()> ended) { streamingEnded_ = std::move(ended); }

  // ---- Playlists (names as the tree shows them; `selected` as in playlist_edit.h).
  const Table& PlaylistTable() const { return playlistTable_; }
  ListResult PlaylistListing(std::string_view name) const;
  std::string CreatePlaylist(const std::vector<std::string>& selected);
  void AddToPlaylist(std::string_view name, const std::vector<std::string>& selected);
  void RemoveFromPlaylist(std::string_view name, const std::vector<std::string>& items);
  bool DeletePlaylist(std::string_view name);
  RenameOutcome RenamePlaylist(std::string_view oldName, std::string_view newName);
  std::optional<std::string> DropOnTree(DropNode node, std::string_view nodeText,
                                        const std::vector<std::string>& selected);

  // ---- Accounts.
  std::vector<std::string> UserNames() const;
  // Returns why the account cannot be stored, with nothing changed.
  std::optional<std::string> AddUser(std::string_view name, std::string_view password);
  void RemoveUsers(const std::vector<std::string>& names);

  // ---- The activity log and the status line (any thread).
  ActivityLog& Activity() { return activity_; }
  StatusBoard& Status() { return status_; }

  // ---- What request threads see (for tests and diagnostics).
  std::shared_ptr<const LibraryView> PublishedLibrary() const { return library_.Current(); }
  const PageBuffers& Pages() const { return pages_; }

 private:
  void LoadStoredFiles();
  void LoadStoredSettings();
  void StopAndSave(bool withUsers);
  void SaveSettings();
  void SaveTables(bool withUsers);
  // Runs a writer of one stored file: each row it left out and a failure are reported.
  void SaveStored(const std::function<std::vector<std::string>()>& write);
  void Report(const std::string& message);
  void FirstGeneration();
  void RunScanPass();
  void PublishLibrary();
  void DeliverServerNotifications();
  void StartSharing();
  void StopSharing();
  void Notify(std::function<void()> toMainThread);  // from request threads
  // Why `path` may not enter the scan, logged; nullopt when it may.
  std::optional<std::string> RefuseScanInput(const std::string& path);
  void ContinueScanPass();
  void QueueStreaming(const std::vector<std::string>& names);
  void StartNextStreaming();
  void FinishStreamingRun();
  void EndStreamingRun();
  PlaylistRegeneration Regeneration();
  std::string Stored(std::string_view name) const { return dataFolder_ + std::string(name); }

  EngineOptions options_;
  std::string programFolder_;
  std::string dataFolder_;
  bool dataFolderOk_ = false;
  bool closing_ = false;

  ActivityLog activity_;
  StatusBoard status_{activity_};
  Table libraryTable_{LibraryColumn::kCount, 1};
  Table playlistTable_{PlaylistColumn::kCount, 1};
  Table playlistListFiles_{ListFileColumn::kCount, 1};
  Table userTable_{UserColumn::kCount, 1};
  Settings settings_;
  SettingsHooks hooks_;
  std::vector<std::string> contentTypes_;  // the content-type field's lines
  std::string libraryFilter_ = "_";
  PageBuffers pages_;
  AccessState access_;
  LibraryViewHolder library_;
  // Filled by the media server's thread, read by request threads; outlives both servers.
  MediaFactsCache mediaFacts_;
  Scanner scanner_;
  ToolRunner helper_;
  std::function<void()> beforeScan_, afterScan_;
  std::deque<std::string> streamingQueue_;    // main thread: files waiting for the tool
  std::optional<StreamingRun> streamingRun_;  // main thread: the file the tool rewrites now
  std::function<void()> streamingEnded_;

  // The timers the window would hold, ticked by Tick().
  std::optional<Clock::time_point> firstGenerationAt_;
  bool scanArmed_ = false;
  Clock::time_point nextScanTick_{};
  bool folderTimerEnabled_ = false;
  std::chrono::milliseconds folderInterval_{5 * 60000};
  Clock::time_point nextFolderTick_{};
  // The server's memory after load goes back to the system once it has been quiet a while.
  QuietMemoryRelease quietRelease_{&ReleaseFreeMemory};

  ServerNotifications notifications_;  // main thread
  // Counted by the server's thread at each start and stop of listening.
  std::atomic<uint32_t> listenStarts_{0}, listenStops_{0};
  std::mutex pendingLock_;                     // guards pending_
  std::deque<std::function<void()>> pending_;  // from request threads, run by Tick()

  bool sharing_ = true;  // the stored switch; main thread
  // Counted by every publication of the tables; read by the media server's thread.
  std::atomic<uint32_t> siteGeneration_{1};
  // While sharing runs. Its thread reads library_, access_ and siteGeneration_.
  std::unique_ptr<MediaServer> mediaServer_;

  // Last: it is stopped and destroyed first, while everything its handlers read still exists.
  std::unique_ptr<DataServer> server_;
};

}  // namespace vidoria
