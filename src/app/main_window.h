// The desktop program's window: the navigation tree, the views and the status bar around one
// Engine, which holds every piece of the program's state. The window turns clicks, drops and
// timers into the engine's operations and shows what they report.
#pragma once

#include <QMainWindow>
#include <QMenu>
#include <QSplitter>
#include <QStackedWidget>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>

#include "app/accounts_pane.h"
#include "app/dialogs.h"
#include "app/folder_scan_pane.h"
#include "app/library_pane.h"
#include "app/log_pane.h"
#include "app/nav_tree.h"
#include "app/player_control.h"
#include "app/playlist_pane.h"
#include "app/server_controls.h"
#include "app/status_bar.h"
#include "app/streaming_pane.h"
#include "engine/engine.h"

namespace vidoria {

// The companion's maker, whose site opens when the companion's data folder is missing.
inline constexpr const char* kMakerSite = "https://www.kelvane.com/download/";

// Main thread only (the engine's owner thread). Owns the engine and every view; borrows the
// dialogs, which must outlive it. The life follows the engine's order: construct, Create(),
// show() (first show arms the first generation), close (saves), destroy (saves again).
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kTickMs = 100;
  static constexpr int kCompanionWaitMs = 3000;

  // `options` are the engine's; the window sets its own callbacks into them.
  MainWindow(EngineOptions options, Dialogs& dialogs, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The creation steps. False when the companion's data folder is missing: the message has been
  // shown, the maker's site opens kCompanionWaitMs later and then Ended() is emitted; the window
  // is not to be shown. Errors of the steps are shown once the window is up.
  bool Create();

  // Opens a URL with the desktop (browser, PDF viewer). Tests replace it.
  std::function<void(const QUrl&)> openUrl;

  Engine& GetEngine() { return *engine_; }
  NavTree* Tree() const { return tree_; }
  LibraryPane* GetLibraryPane() const { return library_; }
  PlaylistPane* GetPlaylistPane() const { return playlist_; }
  StreamingPane* GetStreamingPane() const { return streaming_; }
  FolderScanPane* GetFolderScanPane() const { return folders_; }
  LogPane* GetLogPane() const { return log_; }
  AccountsPane* GetAccountsPane() const { return accounts_; }
  StatusBar* statusBar() const { return status_; }
  QWidget* FrontView() const { return views_->currentWidget(); }
  ServerControls& Server() { return *server_; }
  PlayerControl& Player() { return *player_; }

  // The tree's click action for the selected node.
  void ClickAction();
  // The context menus, as a right-click opens them (for tests: their actions are triggered).
  QMenu* EntryMenuForTests(bool fromPlaylist) { return EntryMenu(fromPlaylist); }
  QMenu* PlaylistNodeMenuForTests(QTreeWidgetItem* item) { return PlaylistNodeMenu(item); }
  // Runs the engine's due work now (the tick timer and the engine's wake call this).
  void Tick();
  // Shows the status board's text in the status bar.
  void RefreshStatus();

 signals:
  // The run is over without a window (the companion is missing).
  void Ended();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildLayout();
  void ConnectNavigation();
  void ConnectLibrary();
  void ConnectPlaylists();
  void ConnectSettings();
  void ConnectAccounts();
  // Shortcuts and context menus (main_window_keys.cpp).
  void ConnectKeys();
  // The context menu of the library's (or a playlist's) entries, for the selected entries.
  QMenu* EntryMenu(bool fromPlaylist);
  QMenu* PlaylistNodeMenu(QTreeWidgetItem* item);
  void FirstShow();
  // The window's size, position and tree width of the last run (window_place.h).
  void RestorePlace();
  void StorePlace();
  void QueueError(const std::string& message);
  void ShowPendingErrors();
  void ShowSettings();
  void WarnAboutEmptyPassword();
  void ShowWatchedFolders();
  void ShowUsers();

  // Navigation and playlists (main_window_navigation.cpp).
  void SelectionChanged();
  void Rename(QTreeWidgetItem* item);
  void DropEntries(DropNode node, const QString& nodeText);
  void CreatePlaylist();
  void DeleteSelectedPlaylist();
  void RemoveFromPlaylist();
  std::vector<std::string> SelectedEntries() const;

  // Library (main_window_library.cpp).
  void UpdateLibraryList(bool store);
  void UpdatePlaylistList(const std::string& name);
  void QueuePaths(const std::vector<std::string>& paths);
  void AddFiles();
  void AddFolder();
  void RemoveFromLibrary();
  void Search(const QString& text);
  void PlayFromLibrary();
  void PlayFromPlaylist();
  void EnableStreaming(bool fromPlaylist);
  // A scan pass and a fast start each hold the buttons that would disturb them (a pass: adding,
  // removing, playlists, another fast start; a fast start: another one and removing entries);
  // they come back when the last holder releases them.
  enum class Holder { kScan, kFastStart };
  void HoldActions(Holder holder);
  void ReleaseActions(Holder holder);
  void UpdateHeldActions();
  // The paths a drop or a dialog handed over that were not queued, in one error dialog shown
  // from the event loop.
  void ShowRefusals(const std::vector<std::string>& refusals);
  void ShowSelectionCount(const CheckList* list, const char* what);
  void Help();

  Dialogs& dialogs_;
  std::unique_ptr<Engine> engine_;
  // Cleared before the engine goes, so a late wake from a request thread posts nothing.
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);

  NavTree* tree_ = nullptr;
  QStackedWidget* views_ = nullptr;
  QSplitter* splitter_ = nullptr;
  LibraryPane* library_ = nullptr;
  PlaylistPane* playlist_ = nullptr;
  StreamingPane* streaming_ = nullptr;
  FolderScanPane* folders_ = nullptr;
  LogPane* log_ = nullptr;
  AccountsPane* accounts_ = nullptr;
  StatusBar* status_ = nullptr;
  ServerControls* server_ = nullptr;
  PlayerControl* player_ = nullptr;

  QTimer tickTimer_;
  bool ticking_ = false;
  bool shown_ = false;
  bool created_ = false;
  bool closed_ = false;
  bool closeRequested_ = false;
  QStringList pendingErrors_;
  bool showingErrors_ = false;
  int held_[2] = {0, 0};  // holds per Holder
  QString lastFolder_;    // where the file and folder dialogs start
};

}  // namespace vidoria
