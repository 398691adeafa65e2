// The engine's library: the desktop lists, removing, scanning, fast start and generation.
#include "engine/engine.h"
#include "engine/scan_input.h"
#include "library/stored_files.h"
#include "library/streaming.h"
#include "library/table_layouts.h"
#include "platform/file_names.h"
#include "site/file_exists.h"
#include "site/library_pages.h"

#include <functional>

namespace vidoria {

ListResult Engine::LibraryListing() const {
  return LibraryList(libraryTable_, libraryFilter_);
}

void Engine::StoreLibrary() {
  if (!dataFolderOk_) return;
  SaveStored([&] { return SaveGrid(libraryTable_, Stored(kLibraryFileName)); });
}

ListResult Engine::SearchLibrary(std::string_view text) const {
  return vidoria::SearchLibrary(libraryTable_, text);
}

void Engine::RemoveFromLibrary(const std::vector<std::string>& names) {
  vidoria::RemoveFromLibrary(libraryTable_, playlistTable_, names);
  GenerateLibrary();
}

std::vector<std::string> Engine::PathsToPlay(std::string_view name) const {
  std::vector<std::string> paths;
  for (int row = 0; row < libraryTable_.RowCount(); ++row) {
    const std::string& path = libraryTable_.Cell(LibraryColumn::kPath, row);
    if (libraryTable_.Cell(LibraryColumn::kName, row) == name && ExtensionOf(path) == "mp4") {
      paths.push_back(path);
    }
  }
  return paths;
}

void Engine::GenerateLibrary() {
  status_.Show("Updating Library");
  status_.Show("Checking files");
  status_.Show("Generating website");
  ExistingFiles existing;
  vidoria::GenerateLibrary(libraryTable_, playlistTable_, std::ref(existing), pages_);
  status_.Clear();
  StoreLibrary();
  PublishLibrary();
  if (options_.rebuildLibraryList) options_.rebuildLibraryList();
}

std::vector<std::string> Engine::QueueDropped(const std::vector<std::string>& paths) {
  std::vector<std::string> accepted;
  std::vector<std::string> refusals;
  for (const std::string& path : paths) {
    if (auto problem = RefuseScanInput(path)) {
      refusals.push_back(std::move(*problem));
    } else {
      accepted.push_back(path);
    }
  }
  scanner_.QueueDropped(accepted);
  return refusals;
}

std::optional<std::string> Engine::RefuseScanInput(const std::string& path) {
  auto problem = ScanInputProblem(path);
  if (problem) activity_.Add(*problem);
  return problem;
}

std::optional<std::string> Engine::QueueFile(std::string path) {
  if (auto problem = RefuseScanInput(path)) return problem;
  scanner_.Queue(std::move(path));
  return std::nullopt;
}

std::optional<std::string> Engine::AddWatchedFolder(std::string path) {
  if (auto problem = RefuseScanInput(path)) return problem;
  scanner_.AddWatchedFolder(std::move(path));
  return std::nullopt;
}

void Engine::ScanWatchedFolders() {
  RunScanPass();
}

void Engine::RemoveWatchedFolders(const std::vector<std::string>& folders) {
  scanner_.RemoveWatchedFolders(folders);
}

void Engine::SetScanHooks(std::function<void()> before, std::function<void()> after) {
  beforeScan_ = std::move(before);
  afterScan_ = std::move(after);
}

void Engine::EnableStreamingTopDown(const std::vector<std::string>& names,
                                    const std::function<void()>& pump) {
  for (const std::string& name : names) {
    if (closing_) return;
    EnableStreamingFor(name, pump);
  }
}

void Engine::EnableStreamingBottomUp(const std::vector<std::string>& names,
                                     const std::function<void()>& pump) {
  for (auto it = names.rbegin(); it != names.rend() && !closing_; ++it) {
    EnableStreamingFor(*it, pump);
  }
}

void Engine::EnableStreamingFor(const std::string& name, const std::function<void()>& pump) {
  if (ExtensionOf(name) != "mp4") return;
  const std::string tool = programFolder_ + "faststart";
  // A copy: the pumping wait lets the window change the table meanwhile.
  const Table rows = libraryTable_;
  for (int row = 0; row < rows.RowCount(); ++row) {
    if (rows.Cell(LibraryColumn::kName, row) != name) continue;
    // Closed while the previous file's tool ran: the tables are saved, nothing more starts.
    if (closing_) return;
    try {
      EnableStreaming(rows.Cell(LibraryColumn::kPath, row), tool, helper_, status_, pump);
    } catch (const StreamingError& e) {
      Report(e.what());
    }
  }
}

}  // namespace vidoria
