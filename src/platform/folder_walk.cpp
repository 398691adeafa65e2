#include "platform/folder_walk.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <set>
#include <utility>

#include "platform/file_names.h"

namespace vidoria {
namespace {

using FolderId = std::pair<dev_t, ino_t>;

// Collects the files of one folder, then walks its subfolders. The folder is closed before the
// walk goes deeper, so a deep tree holds one open folder at a time.
void Walk(const std::string& folder, std::set<FolderId>& seen, std::vector<std::string>& files,
          const WalkWatch& watch, bool top) {
  if (watch.stopped && watch.stopped()) return;
  std::vector<std::string> subfolders;
  {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
      // The walked folder itself was checked by whoever handed it over; a missing one is no news.
      if (!top && watch.unreadable) watch.unreadable(folder, errno);
      return;
    }
    struct stat self {};
    if (::fstat(::dirfd(dir.get()), &self) != 0) return;
    if (!seen.insert({self.st_dev, self.st_ino}).second) return;

    while (const dirent* entry = ::readdir(dir.get())) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      // The entry's type usually comes with it; only file systems that do not say cost a stat.
      mode_t type = DTTOIF(entry->d_type);
      if (entry->d_type == DT_UNKNOWN) {
        struct stat st {};
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        type = st.st_mode;
      }
      if (S_ISDIR(type)) {
        if (name.front() != '.') subfolders.push_back(folder + name + "/");
      } else if (S_ISREG(type)) {
        files.push_back(folder + name);
      } else if (S_ISLNK(type)) {
        struct stat target {};
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &target, 0) == 0 &&
            S_ISREG(target.st_mode)) {
          files.push_back(folder + name);
        }
      }
    }
  }
  for (const std::string& subfolder : subfolders) Walk(subfolder, seen, files, watch, false);
}

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return path;
  return WithTrailingSlash(cwd) + path;
}

}  // namespace

std::vector<std::string> ListFilesRecursive(const std::string& folder) {
  return ListFilesRecursive(folder, WalkWatch{});
}

std::vector<std::string> ListFilesRecursive(const std::string& folder, const WalkWatch& watch) {
  std::vector<std::string> files;
  if (folder.empty()) return files;
  std::set<FolderId> seen;
  Walk(WithTrailingSlash(folder), seen, files, watch, true);
  return files;
}

std::string ResolveShortcut(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {};

  std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path.c_str(), nullptr), ::free);
  if (resolved) return resolved.get();

  std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
  const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
  if (length <= 0 || static_cast<size_t>(length) >= target.size()) return {};
  target.resize(static_cast<size_t>(length));
  if (target.front() == '/') return target;
  return FolderOf(AbsolutePath(path)) + target;
}

}  // namespace vidoria
