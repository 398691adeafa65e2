#include "engine/engine.h"

#include <filesystem>

#include "library/autostart.h"
#include "library/stored_files.h"
#include "playlists/playlist_prune.h"
#include "server/log.h"
#include "server/text.h"
#include "site/file_exists.h"
#include "site/fixed_pages.h"
#include "site/library_pages.h"
#include "site/login_page.h"
#include "site/playlist_pages.h"
#include "site/playlists_page.h"
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
    : scanner(myGrid, status,
              Scanner::Hooks{[this] { return helper.Busy(); }, [this] { GenerateLibrary(); }, {}}),
      options_(std::move(options)) {
  programFolder_ = options_.programFolder.empty() ? ProgramFolder() : options_.programFolder;
  contentTypes = DefaultContentTypeLines();
  CoreRuntime& core = options_.core ? *options_.core : ProcessCore();
  WebContext context;
  context.programFolder = programFolder_;
  context.activity = &activity;
  context.library = &library;
  context.pages = &pages;
  context.access = &access;
  context.generateLogin = [this](const std::string& message) { GenerateLogin(message, pages); };
  server = std::make_unique<DataServer>(context, core);

  auto environment = [env = options_.env](const std::string& name) -> std::optional<std::string> {
    std::string value = env(name.c_str());
    if (value.empty()) return std::nullopt;
    return value;
  };
  hooks_.autorun = [this](bool checked) {
    if (checked && !server->httpServer.Listening()) StartServer();
  };
  hooks_.autostart = [this, environment](bool checked) {
    if (checked) {
      CreateStartupShortcut(RunningProgram(), environment);
    } else {
      DeleteStartupShortcut(environment);
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
  hooks_.login = [this](bool checked) { access.loginRequired = checked; };
}

Engine::~Engine() {
  server.reset();
}

void Engine::Report(const std::string& message) {
  activity.Add(message);
  if (options_.reportError) options_.reportError(message);
}

bool Engine::Create() {
  activity.Add(std::string(kProgramTitle) + " Started");
  dataFolderOk_ = false;
  access.loginRequired = false;
  access.loggedIn = false;
  libraryFilter = "_";
  playlists.SetCell(PlaylistColumn::kName, 0, "Favorites");

  const DataFolders folders = FindDataFolder(DataHome(options_.env));
  dataFolder_ = folders.dataFolder;
  if (!folders.dataFolderOk) return false;
  dataFolderOk_ = true;
  CreateDataSubfolders(dataFolder_);

  StartLog();
  BuildHomePage(pages);
  GenerateLogin("Please login", pages);
  BuildLibraryIndexPage(pages);
  SetLogFolder(dataFolder_ + "LOG/");
  std::error_code ec;
  std::filesystem::create_directories(dataFolder_ + "LOG", ec);

  LoadStoredFiles();
  PublishLibrary();

  if (std::filesystem::exists(Stored(SettingsFileName), ec)) {
    std::vector<std::string> lines;
    if (auto problem = ReadLineFileOrSetAside(lines, Stored(SettingsFileName))) {
      Report(*problem);
    } else {
      try {
        LoadSettings(settings, lines, hooks_);
      } catch (const SettingsError& e) {
        // The switches applied before the bad line keep their effect; the rest of the start-up
        // is skipped, as an error in any creation step does.
        access.SetCredentials(settings.username, settings.password);
        Report(e.what());
        return true;
      }
    }
  } else if (options_.askFirstRun && options_.askFirstRun()) {
    try {
      for (const std::string& folder : FirstRunFolders(options_.env)) scanner.Queue(folder);
    } catch (const std::exception& e) {
      Report(e.what());
    }
  }
  access.SetCredentials(settings.username, settings.password);
  status.Clear();
  return true;
}

void Engine::LoadStoredFiles() {
  std::vector<std::string> folders;
  if (auto problem = ReadLineFileOrSetAside(folders, Stored(FoldersFileName))) Report(*problem);
  scanner.SetFolders(std::move(folders));
  if (auto problem = LoadGridOrSetAside(usrGrid, Stored(UsersFileName))) Report(*problem);
  if (auto problem = LoadGridOrSetAside(playlists, Stored(PlaylistsFileName))) Report(*problem);
  if (auto problem = LoadGridOrSetAside(myGrid, Stored(LibraryFileName))) Report(*problem);
}

void Engine::Shown(Clock::time_point now) {
  firstGenerationAt_ = now + kFirstGenerationDelay;
}

void Engine::Tick(Clock::time_point now) {
  helper.Pump();
  if (firstGenerationAt_ && now >= *firstGenerationAt_) {
    firstGenerationAt_.reset();
    FirstGeneration();
  }
  if (!scanner.ScanTimerEnabled()) {
    scanArmed_ = false;
  } else if (!scanArmed_) {
    scanArmed_ = true;  // a newly enabled timer ticks one period later
    nextScanTick_ = now + kScanTick;
  } else if (now >= nextScanTick_) {
    nextScanTick_ = now + kScanTick;
    scanner.ScanPass();
  }
  if (folderTimerEnabled_ && now >= nextFolderTick_) {
    nextFolderTick_ = now + folderInterval_;
    scanner.QueueWatchedFolders();
  }
}

void Engine::FirstGeneration() {
  // The playlists page comes before the pruning: a playlist whose items all go stays listed on it
  // until that page is generated again.
  GeneratePlayLists(playlists, pages);
  GenerateLibrary();
  PrunePlaylists(playlists, myGrid);
  GenerateEveryPlayList(playlists, playlists2, myGrid, ExistingFile, pages);
  PublishLibrary();
}

void Engine::GenerateLibrary() {
  vidoria::GenerateLibrary(myGrid, playlists, ExistingFile, pages);
  if (dataFolderOk_) {
    try {
      SaveGrid(myGrid, Stored(LibraryFileName));
    } catch (const StoreError& e) {
      Report(e.what());
    }
  }
  PublishLibrary();
}

void Engine::PublishLibrary() {
  library.Publish(LibraryView{myGrid, playlists, playlists2});
}

void Engine::StartServer() {
  access.SetCredentials(settings.username, settings.password);
  server->StartServer(contentTypes, PortValue(settings.port));
}

void Engine::StopServer() {
  server->StopServer();
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
  try {
    WriteLineFile(Stored(SettingsFileName), SettingsLines(settings));
  } catch (const std::exception& e) {
    Report(e.what());
  }
  closing = true;
  activity.SetClosing(true);
  helper.Stop();  // only the tools this program started
  // Generated pages are never stored.
  for (int row = 0; row < playlists.RowCount(); ++row)
    playlists.SetCell(PlaylistColumn::kPage, row, "");
  SaveTables(withUsers);
}

void Engine::SaveTables(bool withUsers) {
  auto save = [this](auto&& write) {
    try {
      write();
    } catch (const StoreError& e) {
      Report(e.what());
    }
  };
  save([&] { SaveGrid(playlists, Stored(PlaylistsFileName)); });
  save([&] { SaveGrid(myGrid, Stored(LibraryFileName)); });
  if (withUsers) save([&] { SaveGrid(usrGrid, Stored(UsersFileName)); });
  save([&] { WriteLineFile(Stored(FoldersFileName), scanner.Folders()); });
}

}  // namespace vidoria
