#include "library/scanner.h"

#include <sys/stat.h>

#include <iterator>
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
  if (!hooks_.listFiles) hooks_.listFiles = ListFilesRecursive;
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

void Scanner::AddWatchedFolder(std::string path) {
  if (path.empty()) return;
  if (const size_t doubled = path.find("//"); doubled != std::string::npos) path.erase(doubled, 1);
  path = WithTrailingSlash(std::move(path));
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

bool Scanner::ScanPass() {
  if (scanning_ || hooks_.helperBusy()) return false;
  queue_.insert(queue_.end(), folders_.begin(), folders_.end());
  if (queue_.empty()) return false;

  scanTimerEnabled_ = false;
  scanning_ = true;
  std::vector<std::string> sorted = std::move(queue_);
  queue_.clear();
  SortLikeList(sorted);

  // Queued files first, in sorted order, then the contents of each folder in sorted order.
  std::vector<std::string> folderList;
  std::vector<std::string> fileList;
  for (std::string& entry : sorted) {
    if (IsLink(entry)) entry = ResolveShortcut(entry);
    (IsFolder(entry) ? folderList : fileList).push_back(std::move(entry));
  }
  const size_t firstWalked = fileList.size();
  for (const std::string& folder : folderList) {
    status_.Show("Scanning " + folder);
    std::vector<std::string> files = hooks_.listFiles(folder);
    fileList.insert(fileList.end(), std::make_move_iterator(files.begin()),
                    std::make_move_iterator(files.end()));
  }
  status_.Clear();

  // Every pass re-reads every watched folder, so most files are known already. AddToLibrary would
  // skip them too, silently, but by searching the whole table for each; one index keeps a pass
  // linear in the size of the library.
  std::unordered_set<std::string> known;
  for (int row = 0; row < libraryTable_.RowCount(); ++row)
    known.insert(libraryTable_.Cell(LibraryColumn::kPath, row));

  // Every path counts in n and i, whether it is added or not, so the status shows how far the
  // pass has come.
  const int count = static_cast<int>(fileList.size());
  for (int i = 0; i < count; ++i) {
    if (ExtensionOf(fileList[i]) != "mp4" || known.contains(fileList[i])) continue;
    if (static_cast<size_t>(i) >= firstWalked && IsLink(fileList[i])) continue;
    AddNewToLibrary(libraryTable_, "MOVIE", fileList[i], count, i + 1, status_);
    known.insert(fileList[i]);
  }
  status_.Clear();
  scanning_ = false;
  hooks_.afterPass();
  return true;
}

std::vector<std::string> FirstRunFolders(const EnvLookup& env) {
  std::vector<std::string> folders;
  for (const std::string& folder : {MyVideoFolder(env), CommonVideoFolder()}) {
    if (IsFolder(folder)) folders.push_back(folder);
  }
  return folders;
}

}  // namespace vidoria
