// The engine's library: the desktop lists, removing, scanning, fast start and generation.
#include "engine/engine.h"
#include "engine/scan_input.h"
#include "library/stored_files.h"
#include "library/streaming.h"
#include "library/table_layouts.h"
#include "platform/file_names.h"
#include "site/file_exists.h"
#include "site/library_pages.h"

#include <chrono>
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

void Engine::EnableStreamingTopDown(const std::vector<std::string>& names) {
  QueueStreaming(names);
}

void Engine::EnableStreamingBottomUp(const std::vector<std::string>& names) {
  QueueStreaming({names.rbegin(), names.rend()});
}

void Engine::QueueStreaming(const std::vector<std::string>& names) {
  const bool running = StreamingRunning();
  // The files as the table holds them now: the buttons that change it are held until the run
  // is over.
  for (const std::string& name : names) {
    if (ExtensionOf(name) != "mp4") continue;
    for (int row = 0; row < libraryTable_.RowCount(); ++row) {
      if (libraryTable_.Cell(LibraryColumn::kName, row) == name) {
        streamingQueue_.push_back(libraryTable_.Cell(LibraryColumn::kPath, row));
      }
    }
  }
  if (!running) StartNextStreaming();
}

void Engine::StartNextStreaming() {
  const std::string tool = programFolder_ + "faststart";
  while (!streamingQueue_.empty() && !closing_) {
    const std::string path = std::move(streamingQueue_.front());
    streamingQueue_.pop_front();
    try {
      streamingRun_ = StartStreaming(path, tool, helper_, status_);
      if (streamingRun_) return;
    } catch (const StreamingError& e) {
      Report(e.what());
    }
  }
  streamingQueue_.clear();
  if (streamingEnded_) streamingEnded_();
}

void Engine::FinishStreamingRun() {
  const StreamingRun run = std::move(*streamingRun_);
  streamingRun_.reset();
  try {
    FinishStreaming(run, status_);
  } catch (const StreamingError& e) {
    Report(e.what());
  }
}

void Engine::EndStreamingRun() {
  streamingQueue_.clear();
  if (!streamingRun_) return;
  helper_.Stop();
  // Stop returns once the tool has ended; the end reaches Busy() through the pump.
  helper_.Wait({}, std::chrono::milliseconds(1));
  FinishStreamingRun();
  if (streamingEnded_) streamingEnded_();
}

}  // namespace vidoria
