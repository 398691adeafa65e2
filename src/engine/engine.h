// The program's state and its start-up and shutdown order, without any window.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/activity_log.h"
#include "library/scanner.h"
#include "library/settings.h"
#include "library/table.h"
#include "platform/folders.h"
#include "platform/process_runner_tool.h"
#include "server/core_runtime.h"
#include "site/page_buffers.h"
#include "web/access.h"
#include "web/data_server.h"
#include "web/library_view.h"

namespace vidoria {

inline constexpr std::string_view kProgramTitle = "Vidoria 1.4";
inline constexpr std::string_view kMissingCompanion = "Please install Kelvane v3 or v4";

struct EngineOptions {
  std::string programFolder;    // "" = the running executable's folder
  EnvLookup env = SystemEnv;    // HOME, XDG_*: lets tests run in a temporary home
  CoreRuntime* core = nullptr;  // nullptr = ProcessCore()
  // The first-run question ("scan the default video folders?"); empty answers No.
  std::function<bool()> askFirstRun;
  // An error a start-up step raised (the window shows it in a dialog).
  std::function<void(const std::string& message)> reportError;
};

// Everything the desktop window and the headless program share. Main thread only, except what
// the members' own headers allow (the log, the status, the page buffers, the published library
// view and the access state are read by request threads).
class Engine {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kScanTick{2000};
  static constexpr std::chrono::milliseconds kFirstGenerationDelay{1000};

  explicit Engine(EngineOptions options);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
  ~Engine();

  // The window's creation: finds the data folder, switches the web log on, loads the stored
  // tables and the settings (which may start the server). False when no data folder exists: then
  // nothing was loaded and nothing will be saved.
  bool Create();
  // The window was shown: the first generation follows after kFirstGenerationDelay.
  void Shown(Clock::time_point now);
  // Runs what the timers have due: the first generation, the scan tick, the periodic rescan.
  void Tick(Clock::time_point now);
  // The user closes the window: stop, save the settings, end the tools, save the tables.
  void Close();
  // The window is destroyed: as Close, without the users file, and stop once more.
  void Destroy();

  // The server controls' Start and Stop actions.
  void StartServer();
  void StopServer();
  // After every change of the tables: request threads see the new state from now on.
  void PublishLibrary();
  // The scan pass is over: the library pages are regenerated and the library stored.
  void GenerateLibrary();
  // The settings' switch handling, shared by LoadSettings and the window's controls.
  const SettingsHooks& Hooks() const { return hooks_; }

  bool DataFolderOk() const { return dataFolderOk_; }
  const std::string& DataFolder() const { return dataFolder_; }
  const std::string& ProgramFolderPath() const { return programFolder_; }
  bool FolderTimerEnabled() const { return folderTimerEnabled_; }
  std::chrono::milliseconds FolderInterval() const { return folderInterval_; }

  ActivityLog activity;
  StatusBoard status{activity};
  Table myGrid{4, 1};
  Table playlists{4, 1};
  Table playlists2{4, 1};
  Table usrGrid{2, 1};
  Settings settings;
  std::vector<std::string> contentTypes;  // the content-type field's lines
  PageBuffers pages;
  AccessState access;
  LibraryViewHolder library;
  Scanner scanner;
  ToolRunner helper;
  std::string libraryFilter = "_";
  bool closing = false;

 private:
  void LoadStoredFiles();
  void StopAndSave(bool withUsers);
  void SaveTables(bool withUsers);
  void Report(const std::string& message);
  void FirstGeneration();
  std::string Stored(std::string_view name) const { return dataFolder_ + std::string(name); }

  EngineOptions options_;
  std::string programFolder_;
  std::string dataFolder_;
  bool dataFolderOk_ = false;
  SettingsHooks hooks_;
  std::optional<Clock::time_point> firstGenerationAt_;
  bool scanArmed_ = false;
  Clock::time_point nextScanTick_{};
  bool folderTimerEnabled_ = false;
  std::chrono::milliseconds folderInterval_{5 * 60000};
  Clock::time_point nextFolderTick_{};

 public:
  // Last: it is stopped and destroyed first, while everything its handlers read still exists.
  std::unique_ptr<DataServer> server;
};

}  // namespace vidoria
