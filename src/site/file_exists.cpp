#include "site/file_exists.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace vidoria {

bool ExistingFile(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

namespace {

// What a folder's entry says about stat(2) on its path.
enum class Entry : unsigned char { kFile, kFolder, kAsk };

Entry EntryOf(unsigned char type) {
  switch (type) {
    case DT_DIR:
      return Entry::kFolder;
    case DT_LNK:      // stat follows it
    case DT_UNKNOWN:  // the file system does not say
      return Entry::kAsk;
    default:  // regular files, pipes, sockets and devices all are "not a folder"
      return Entry::kFile;
  }
}

}  // namespace

struct ExistingFiles::Folder {
  int64_t asked = 0;
  int64_t listAt = 0;    // the row count at which the folder is read; 0: not weighed yet
  bool read = false;     // a listing was tried
  bool listing = false;  // it succeeded: `names` says what the folder held then
  std::string text;      // the names, back to back; `names` views into it
  std::unordered_map<std::string_view, Entry> names;

  // Reads the folder. A folder that can be listed but not searched (read permission without
  // execute) gives names whose stat fails, so it is asked row by row like one that cannot be
  // listed.
  void Read(const std::string& path) {
    read = true;
    if (::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) != 0) return;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return;
    std::vector<std::pair<size_t, size_t>> spans;
    std::vector<Entry> entries;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view name(entry->d_name);
      spans.emplace_back(text.size(), name.size());
      entries.push_back(EntryOf(entry->d_type));
      text += name;
    }
    ::closedir(dir);
    names.reserve(spans.size());
    for (size_t i = 0; i < spans.size(); ++i) {
      names.emplace(std::string_view(text).substr(spans[i].first, spans[i].second), entries[i]);
    }
    listing = true;
  }
};

ExistingFiles::ExistingFiles() = default;
ExistingFiles::~ExistingFiles() = default;

ExistingFiles::Folder& ExistingFiles::FolderOf(std::string_view folder) {
  if (lastFolder_ != nullptr && folder == lastFolderName_) return *lastFolder_;
  auto it = folders_.find(folder);
  if (it == folders_.end()) {
    it = folders_.emplace(std::string(folder), std::make_unique<Folder>()).first;
  }
  lastFolderName_ = folder;
  lastFolder_ = it->second.get();
  return *lastFolder_;
}

bool ExistingFiles::operator()(const std::string& path) {
  const size_t slash = path.rfind('/');
  // stat(2) would see the path only up to a NUL byte, a listing's names never hold one.
  if (slash == std::string::npos || path.find('\0') != std::string::npos) {
    return ExistingFile(path);
  }
  const std::string_view name = std::string_view(path).substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return ExistingFile(path);
  // "/name" lives in the root folder, "/".
  const std::string_view folderName = std::string_view(path).substr(0, slash == 0 ? 1 : slash);
  Folder& folder = FolderOf(folderName);
  if (!folder.read && ++folder.asked > kStatsBeforeListing) {
    if (folder.listAt == 0) {
      struct stat info;
      if (::stat(std::string(folderName).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        folder.listAt = std::max<int64_t>(folder.asked, info.st_size / kFolderBytesPerStat);
      } else {
        folder.read = true;  // nothing to list: every row is stat'ed
      }
    }
    if (!folder.read && folder.asked >= folder.listAt) {
      folder.Read(std::string(folderName));
      if (folder.listing) ++listed_;
    }
  }
  if (!folder.listing) return ExistingFile(path);
  const auto it = folder.names.find(name);
  if (it == folder.names.end() || it->second == Entry::kAsk) return ExistingFile(path);
  return it->second == Entry::kFile;
}

}  // namespace vidoria
