#include "library/scanner.h"

#include <sys/stat.h>

#include <iterator>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "library/library_table.h"
#include "library/list_order.h"
#include "platform/file_names.h"

namespace vidoria {
namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

Scanner::Scanner(Table& libraryTable, StatusBoard& status, Hooks hooks)
    : libraryTable_(libraryTable), status_(status), hooks_(std::move(hooks)) {
  if (!hooks_.helperBusy) hooks_.helperBusy = [] { return false; };
  if (!hooks_.afterPass) hooks_.afterPass = [] {};
  if (!hooks_.listFiles) {
    hooks_.listFiles = [](const std::string& folder, const WalkWatch& watch) {
      return ListFilesRecursive(folder, watch);
    };
  }
}

void Scanner::Queue(std::string path) {
  queue_.push_back(std::move(path));
  scanTimerEnabled_ = true;
}

void Scanner::QueueDropped(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (!IsBlank(path)) queue_.push_back(path);
  }
  status_.Show(std::to_string(queue_.size()) +
               (queue_.size() < 2 ? " item added" : " items added"));
  scanTimerEnabled_ = true;
}

std::string WatchedFolderText(std::string path) {
  if (const size_t doubled = path.find("//"); doubled != std::string::npos) path.erase(doubled, 1);
  return WithTrailingSlash(std::move(path));
}

void Scanner::AddWatchedFolder(std::string path) {
  if (path.empty()) return;
  path = WatchedFolderText(std::move(path));
  folders_.push_back(path);
  Queue(std::move(path));
}

void Scanner::RemoveWatchedFolders(const std::vector<std::string>& selection) {
  for (auto folder = selection.rbegin(); folder != selection.rend(); ++folder) {
    std::erase(queue_, *folder);
    std::erase(folders_, *folder);
  }
}

void Scanner::QueueWatchedFolders() {
  queue_.insert(queue_.end(), folders_.begin(), folders_.end());
  scanTimerEnabled_ = true;
}

std::vector<std::string> Scanner::SortedFolders() const {
  std::vector<std::string> sorted = folders_;
  SortLikeList(sorted);
  return sorted;
}

bool Scanner::BeginPass() {
  if (scanning_ || hooks_.helperBusy()) return false;
  queue_.insert(queue_.end(), folders_.begin(), folders_.end());
  if (queue_.empty()) return false;

  scanTimerEnabled_ = false;
  scanning_ = true;
  std::vector<std::string> sorted = std::move(queue_);
  queue_.clear();
  SortLikeList(sorted);
  walkEnded_ = false;
  stopWalk_ = false;
  walkTaken_ = false;
  walked_ = Walked{};
  walker_ = std::thread([this, sorted = std::move(sorted)]() mutable { Walk(std::move(sorted)); });
  return true;
}

// The walk's thread: touches only its own paths, walked_, the thread-safe status board and the
// hooks that run here.
void Scanner::Walk(std::vector<std::string> sorted) {
  // Queued files first, in sorted order, then the contents of each folder in sorted order.
  std::vector<std::string> folderList;
  std::vector<std::string> fileList;
  for (std::string& entry : sorted) {
    if (IsLink(entry)) entry = ResolveShortcut(entry);
    (IsFolder(entry) ? folderList : fileList).push_back(std::move(entry));
  }
  const size_t firstWalked = fileList.size();
  const WalkWatch watch{.stopped = [this] { return stopWalk_.load(std::memory_order_relaxed); },
                        .unreadable =
                            [this](const std::string& folder, int error) {
                              status_.Log().Add("Cannot read " + folder + ": " +
                                                std::system_category().message(error));
                            }};
  for (const std::string& folder : folderList) {
    if (stopWalk_) break;
    status_.Show("Scanning " + folder);
    std::vector<std::string> files = hooks_.listFiles(folder, watch);
    fileList.insert(fileList.end(), std::make_move_iterator(files.begin()),
                    std::make_move_iterator(files.end()));
  }
  walked_ = Walked{std::move(fileList), firstWalked};
  walkEnded_.store(true, std::memory_order_release);
  if (hooks_.walked) hooks_.walked();
}

bool Scanner::TakeWalk() {
  if (walkTaken_) return true;
  if (!walkEnded_.load(std::memory_order_acquire)) return false;
  if (walker_.joinable()) walker_.join();
  walkTaken_ = true;
  nextRow_ = 0;
  status_.Clear();
  // Every pass re-reads every watched folder, so most files are known already. AddToLibrary would
  // skip them too, silently, but by searching the whole table for each; one index keeps a pass
  // linear in the size of the library. Built once the walk has ended: the rows may change until
  // then (a reclassification keeps the paths, and removals wait for the pass).
  known_.clear();
  for (int row = 0; row < libraryTable_.RowCount(); ++row)
    known_.insert(libraryTable_.Cell(LibraryColumn::kPath, row));
  return true;
}

void Scanner::AddRows(std::chrono::steady_clock::time_point until) {
  // Every path counts in n and i, whether it is added or not, so the status shows how far the
  // pass has come.
  const std::vector<std::string>& files = walked_.files;
  const int count = static_cast<int>(files.size());
  while (nextRow_ < files.size()) {
    const size_t i = nextRow_++;
    if (ExtensionOf(files[i]) != "mp4" || known_.contains(files[i])) continue;
    if (i >= walked_.firstWalked && IsLink(files[i])) continue;
    AddNewToLibrary(libraryTable_, "MOVIE", files[i], count, static_cast<int>(i) + 1, status_);
    known_.insert(files[i]);
    if (std::chrono::steady_clock::now() >= until) break;
  }
}

bool Scanner::ContinuePass(std::chrono::steady_clock::duration budget) {
  if (!scanning_) return false;
  if (!TakeWalk()) return true;
  const auto now = std::chrono::steady_clock::now();
  AddRows(budget >= std::chrono::steady_clock::time_point::max() - now
              ? std::chrono::steady_clock::time_point::max()
              : now + budget);
  if (nextRow_ < walked_.files.size()) return true;
  EndPass();
  return false;
}

void Scanner::FinishPass() {
  if (!scanning_) return;
  if (!walkTaken_ && walker_.joinable()) walker_.join();  // TakeWalk finds it ended
  TakeWalk();
  AddRows(std::chrono::steady_clock::time_point::max());
  EndPass();
}

bool Scanner::ScanPass() {
  if (!BeginPass()) return false;
  FinishPass();
  return true;
}

void Scanner::EndPass() {
  status_.Clear();
  walked_ = Walked{};
  known_.clear();
  scanning_ = false;
  hooks_.afterPass();
}

void Scanner::StopPass() {
  if (!scanning_) return;
  stopWalk_ = true;
  if (walker_.joinable()) walker_.join();
  status_.Clear();
  walked_ = Walked{};
  known_.clear();
  scanning_ = false;
}

Scanner::~Scanner() {
  StopPass();
}

std::vector<std::string> FirstRunFolders(const EnvLookup& env) {
  std::vector<std::string> folders;
  for (const std::string& folder : {MyVideoFolder(env), CommonVideoFolder()}) {
    if (IsFolder(folder)) folders.push_back(folder);
  }
  return folders;
}

}  // namespace vidoria
