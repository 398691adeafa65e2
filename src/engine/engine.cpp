// The engine's life: creation, first show, ticks, close and destruction, in the window's order.
#include "engine/engine.h"
#include "library/table_layouts.h"

#include <filesystem>
#include <thread>

#include "engine/scan_input.h"
#include "library/stored_files.h"
#include "platform/atomic_write.h"
#include "platform/autostart.h"
#include "playlists/playlist_prune.h"
#include "playlists/playlist_table.h"
#include "server/exceptions.h"
#include "server/log.h"
#include "site/file_exists.h"
#include "site/fixed_pages.h"
#include "site/login_page.h"
#include "site/playlist_pages.h"
#include "site/playlists_page.h"
#include "upnp/device_files.h"
#include "web/content_types.h"

namespace vidoria {

namespace {

std::string RunningProgram() {
  std::error_code ec;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

}  // namespace

Engine::Engine(EngineOptions options)
    : options_(std::move(options)),
      scanner_(libraryTable_, status_,
               Scanner::Hooks{.helperBusy = [this] { return helper_.Busy() || StreamingRunning(); },
                              .afterPass = [this] { GenerateLibrary(); },
                              .listFiles =
                                  [this](const std::string& folder, const WalkWatch& watch) {
                                    return WithoutLineBreaks(ListFilesRecursive(folder, watch),
                                                             activity_);
                                  },
                              // The walk's thread: the owner's next tick adds the rows.
                              .walked =
                                  [wake = options_.wake] {
                                    if (wake) wake();
                                  }}) {
  programFolder_ =
      options_.programFolder.empty() ? vidoria::ProgramFolder() : options_.programFolder;
  contentTypes_ = DefaultContentTypeLines();
  CoreRuntime& core = options_.core ? *options_.core : ProcessCore();
  WebContext context{
      .programFolder = programFolder_,
      .activity = &activity_,
      .library = &library_,
      .pages = &pages_,
      .access = &access_,
      .mediaFacts = &mediaFacts_,
      .generateLogin = [this](const std::string& message) { GenerateLogin(message, pages_); },
      .now = {}};
  server_ = std::make_unique<DataServer>(std::move(context), core, options_.sessions);
  DataServerEvents events;
  events.listenStart = [this](HttpServer&) {
    ++listenStarts_;
    Notify([this] {
      StartSharing();
      if (notifications_.listening) notifications_.listening();
    });
  };
  events.listenStop = [this](HttpServer&) {
    ++listenStops_;
    Notify([this] {
      StopSharing();
      if (notifications_.stopped) notifications_.stopped();
    });
  };
  events.listenError = [this](HttpServer&, const std::exception& e) {
    Notify([this, name = ExceptionClassName(e), message = std::string(e.what())] {
      if (notifications_.listenFailed) notifications_.listenFailed(name, message);
    });
  };
  server_->SetEvents(std::move(events));

  hooks_.autorun = [this](bool checked) {
    if (!checked) return;
    if (options_.startAction) {
      options_.startAction();
    } else if (!server_->Listening()) {
      StartServer();
    }
  };
  hooks_.autostart = [this](bool checked) {
    // The box stays as the user set it; they are told when the desktop did not follow.
    if (checked) {
      if (const auto made = CreateStartupShortcut(RunningProgram(), options_.env); !made) {
        Report("The program could not be set to start when you log in: " + made.Error().Text());
      }
    } else if (const auto removed = DeleteStartupShortcut(options_.env); !removed) {
      Report("The program could not be kept from starting when you log in: " +
             removed.Error().Text());
    }
  };
  hooks_.autoscan = [this](bool checked) {
    folderTimerEnabled_ = checked;
    nextFolderTick_ = Clock::now() + folderInterval_;
  };
  hooks_.scanInterval = [this](int minutes) {
    folderInterval_ = std::chrono::milliseconds(int64_t{minutes} * 60000);
    nextFolderTick_ = Clock::now() + folderInterval_;
  };
  hooks_.login = [this](bool checked) { access_.loginRequired = checked; };
}

Engine::~Engine() {
  mediaServer_.reset();
  server_.reset();
}

void Engine::Report(const std::string& message) {
  activity_.Add(message);
  if (options_.reportError) options_.reportError(message);
}

bool Engine::Create() {
  activity_.Add(std::string(kProgramTitle) + " Started");
  dataFolderOk_ = false;
  access_.loginRequired = false;
  access_.loggedIn = false;
  libraryFilter_ = "_";
  playlistTable_.SetCell(PlaylistColumn::kName, 0, std::string(kFavorites));

  DataFolders folders;
  if (options_.dataFolder.empty()) {
    folders = FindDataFolder(DataHome(options_.env));
  } else {
    std::error_code ec;
    folders = {options_.dataFolder, std::filesystem::is_directory(options_.dataFolder, ec)};
  }
  dataFolder_ = folders.dataFolder;
  if (!folders.dataFolderOk) return false;
  dataFolderOk_ = true;
  // Without LOG/ the web log falls back to its own folder, and temp/ is only the tools' scratch
  // space: the program goes on, but says so.
  if (const auto made = CreateDataSubfolders(dataFolder_); !made) {
    activity_.Add("Cannot create the data folder's subfolders: " + made.Error().Text());
  }

  StartLog();
  BuildHomePage(pages_);
  GenerateLogin("Please login", pages_);
  BuildLibraryIndexPage(pages_);
  SetLogFolder(dataFolder_ + "LOG/");
  std::error_code ec;
  std::filesystem::create_directories(dataFolder_ + "LOG", ec);

  LoadStoredFiles();
  PublishLibrary();
  LoadStoredSettings();
  sharing_ = ReadSharingSwitch(Stored(kSharingFileName));
  access_.SetCredentials(settings_.username, settings_.password);
  status_.Clear();
  return true;
}

void Engine::LoadStoredFiles() {
  // A run killed while it saved leaves its unfinished copy beside the file it was replacing.
  for (const std::string_view name : {kSettingsFileName, kPlaylistsFileName, kLibraryFileName,
                                      kUsersFileName, kFoldersFileName}) {
    const std::vector<std::string> removed = RemoveAbandonedTemporaryFiles(Stored(name));
    if (!removed.empty()) {
      activity_.Add("Removed an unfinished copy of " + std::string(name) +
                    " left by a run that ended while saving it.");
    }
  }
  std::vector<std::string> folders;
  if (auto problem = ReadLineFileOrSetAside(folders, Stored(kFoldersFileName))) Report(*problem);
  scanner_.SetFolders(std::move(folders));
  if (auto problem = LoadGridOrSetAside(userTable_, Stored(kUsersFileName))) Report(*problem);
  if (auto problem = LoadGridOrSetAside(playlistTable_, Stored(kPlaylistsFileName))) {
    Report(*problem);
  }
  if (auto problem = LoadGridOrSetAside(libraryTable_, Stored(kLibraryFileName))) Report(*problem);
}

void Engine::LoadStoredSettings() {
  std::error_code ec;
  if (!std::filesystem::exists(Stored(kSettingsFileName), ec)) {
    if (!options_.askFirstRun || !options_.askFirstRun()) return;
    try {
      for (const std::string& folder : FirstRunFolders(options_.env)) scanner_.Queue(folder);
    } catch (const std::exception& e) {
      Report(e.what());
    }
    return;
  }
  // A damaged settings file is treated as the damaged tables are: kept aside, reported, and the
  // program goes on with the first start's settings, so that saving at close cannot overwrite
  // the stored user name, password and login switch with nothing left to recover them from.
  const std::string path = Stored(kSettingsFileName);
  std::vector<std::string> lines;
  std::optional<std::string> problem = ReadLineFileOrSetAside(lines, path);
  if (!problem) {
    if (auto damage = SettingsFileProblem(lines)) problem = SetAsideDamaged(path, *damage);
  }
  if (problem) {
    Report(*problem + "; starting with the default settings.");
    return;
  }
  LoadSettings(settings_, lines, hooks_);
}

void Engine::Shown(Clock::time_point now) {
  firstGenerationAt_ = now + kFirstGenerationDelay;
}

void Engine::Tick(Clock::time_point now) {
  DeliverServerNotifications();
  helper_.Pump();
  if (streamingRun_ && !helper_.Busy()) {
    FinishStreamingRun();
    StartNextStreaming();
  }
  if (scanner_.Scanning()) ContinueScanPass();
  if (firstGenerationAt_ && now >= *firstGenerationAt_) {
    firstGenerationAt_.reset();
    FirstGeneration();
  }
  if (!scanner_.ScanTimerEnabled()) {
    scanArmed_ = false;
  } else if (!scanArmed_) {
    scanArmed_ = true;  // a newly enabled timer ticks one period later
    nextScanTick_ = now + kScanTick;
  } else if (now >= nextScanTick_) {
    nextScanTick_ = now + kScanTick;
    RunScanPass();
  }
  if (folderTimerEnabled_ && now >= nextFolderTick_) {
    nextFolderTick_ = now + folderInterval_;
    scanner_.QueueWatchedFolders();
  }
  if (server_) quietRelease_.Tick(now, server_->Activity());
}

void Engine::RunScanPass() {
  // A tick during a fast start waits for a later one, and so do the hooks: the window's buttons
  // stay as the fast start set them.
  if (scanner_.Scanning() || helper_.Busy() || StreamingRunning()) return;
  if (beforeScan_) beforeScan_();
  if (!scanner_.BeginPass()) {
    if (afterScan_) afterScan_();
  }
}

void Engine::ContinueScanPass() {
  // Without a window to come back at once, the rows go in whole as soon as the walk has ended.
  const auto budget = options_.wake ? Clock::duration(kScanSlice) : Clock::duration::max();
  if (scanner_.ContinuePass(budget)) {
    // More rows wait: the owner ticks again once its queued events are served.
    if (options_.wake && scanner_.AddingRows()) options_.wake();
    return;
  }
  if (afterScan_) afterScan_();
}

void Engine::FirstGeneration() {
  // The playlists page comes before the pruning: a playlist whose items all go stays listed on it
  // until that page is generated again.
  Regeneration().GeneratePlayLists();
  GenerateLibrary();
  PrunePlaylists(playlistTable_, libraryTable_);
  const LibraryByName byName(libraryTable_);
  ExistingFiles existing;
  for (int row = 0; row < playlistTable_.RowCount(); ++row) {
    status_.Show("Generating " + playlistTable_.Cell(PlaylistColumn::kName, row));
    GeneratePlayList(row, playlistTable_, playlistListFiles_, byName, std::ref(existing), pages_);
    status_.Clear();
  }
  PublishLibrary();
}

void Engine::PublishLibrary() {
  library_.Publish(LibraryView{libraryTable_, playlistTable_, playlistListFiles_});
  // After the publication: the media server reads the count first, then the tables.
  ++siteGeneration_;
  if (mediaServer_) mediaServer_->SiteChanged();
}

void Engine::Close() {
  if (dataFolderOk_) StopAndSave(/*withUsers=*/true);
}

void Engine::Destroy() {
  if (!dataFolderOk_) return;
  StopAndSave(/*withUsers=*/false);
  StopServer();
}

void Engine::StopAndSave(bool withUsers) {
  StopServer();
  // The stop arrives from the server's thread; its notification ("Server stopped." in the
  // window) belongs before the log closes. Every listen that started ends with one stop.
  const auto giveUp = Clock::now() + std::chrono::seconds(2);
  while (listenStops_.load() != listenStarts_.load() && Clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  DeliverServerNotifications();
  SaveSettings();
  closing_ = true;
  // A pass stops at its next file; the rows it added are saved below.
  scanner_.StopPass();
  EndStreamingRun();  // the file being rewritten gets its own name back
  activity_.SetClosing(true);
  helper_.Stop();  // only the tools this program started
  // Generated pages are never stored.
  for (int row = 0; row < playlistTable_.RowCount(); ++row) {
    playlistTable_.SetCell(PlaylistColumn::kPage, row, "");
  }
  SaveTables(withUsers);
}

void Engine::SaveSettings() {
  const std::string path = Stored(kSettingsFileName);
  std::vector<std::string> current;
  std::vector<std::string> notices;
  try {
    // Only a value that cannot be stored needs the file's own lines.
    if (SettingsProblem(settings_)) current = ReadLineFile(path);
  } catch (const StoreError&) {
  }
  const std::vector<std::string> lines = SettingsLinesToStore(settings_, current, notices);
  for (const std::string& notice : notices) Report(notice);
  SaveStored([&] { return WriteLineFile(path, lines); });
}

void Engine::SaveStored(const std::function<std::vector<std::string>()>& write) {
  try {
    for (const std::string& leftOut : write()) Report(leftOut);
  } catch (const StoreError& e) {
    Report(e.what());
  }
}

void Engine::SaveTables(bool withUsers) {
  SaveStored([&] { return SaveGrid(playlistTable_, Stored(kPlaylistsFileName)); });
  SaveStored([&] { return SaveGrid(libraryTable_, Stored(kLibraryFileName)); });
  if (withUsers) SaveStored([&] { return SaveGrid(userTable_, Stored(kUsersFileName)); });
  // In the order the window lists them.
  SaveStored([&] { return WriteLineFile(Stored(kFoldersFileName), scanner_.SortedFolders()); });
}

}  // namespace vidoria
