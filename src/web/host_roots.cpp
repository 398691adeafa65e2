#include "web/host_roots.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "server/text.h"

namespace vidoria {

std::string NormalPath(std::string_view path) {
  // A path of separators only is left as it is, as the standard library's lexical normal form
  // leaves it.
  if (!path.empty() && path.find_first_not_of('/') == std::string_view::npos) {
    return std::string(path);
  }
  // Built in one pass, every kept name followed by its '/'; a name ending the path loses it
  // again unless the path ended with a separator, "." or "..". Above the top ".." stays at the
  // top, as the platform resolves it.
  std::string normal;
  normal.reserve(path.size() + 1);
  normal += '/';
  bool trailing = false;  // the last part seen was "." or ".."
  for (size_t at = 0; at < path.size();) {
    if (path[at] == '/') {
      ++at;
      continue;
    }
    const size_t end = std::min(path.find('/', at), path.size());
    const std::string_view part = path.substr(at, end - at);
    at = end;
    if (part == "." || part == "..") {
      if (part == ".." && normal.size() > 1) {
        normal.pop_back();
        normal.resize(normal.rfind('/') + 1);
      }
      trailing = true;
      continue;
    }
    normal += part;
    normal += '/';
    trailing = false;
  }
  if (!trailing && !path.ends_with('/') && normal.size() > 1) normal.pop_back();
  return normal;
}

void HostRoots::Add(std::string_view line, const std::string& programFolder) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return;
  std::string host = UpperCase(TrimControl(line.substr(0, equals)));
  std::string folder(TrimControl(line.substr(equals + 1)));
  std::replace(folder.begin(), folder.end(), '\\', '/');
  if (folder.empty() || folder.front() != '/') folder = programFolder + folder;
  folder = NormalPath(folder);
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  for (const auto& [existing, root] : roots_) {
    if (EqualsIgnoreCase(existing, host)) return;
  }
  roots_.emplace_back(std::move(host), std::move(folder));
}

std::string HostRoots::For(std::string_view host) const {
  const std::string key = UpperCase(host);
  for (const auto& [existing, root] : roots_) {
    if (existing == key) return root;
  }
  for (const auto& [existing, root] : roots_) {
    if (existing == "*") return root;
  }
  return {};
}

namespace {

// What a path names, found with one open and fstat where the path can be opened.
struct PathLook {
  bool folder = false;  // a folder (through links), readable or not
  int64_t size = -1;    // a regular file that can be opened for reading; -1 for anything else
  AnswerFile file;      // that file, open, when size >= 0
};

PathLook LookAt(const std::string& path, bool askFolder) {
  PathLook look;
  // Non-blocking, so that a named pipe in a media folder cannot stall a worker.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat info {};
  if (fd >= 0 && ::fstat(fd, &info) == 0) {
    if (S_ISREG(info.st_mode)) {
      look.size = static_cast<int64_t>(info.st_size);
      look.file = AnswerFile::Adopt(fd, path);
      return look;
    }
    ::close(fd);
    look.folder = S_ISDIR(info.st_mode);
    return look;
  }
  if (fd >= 0) ::close(fd);
  // A folder this process may not read still is one.
  look.folder = askFolder && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  return look;
}

}  // namespace

int64_t FileSizeOf(const std::string& path) {
  return LookAt(path, false).size;
}

MappedPath MapRequestPath(std::string_view requestPath, const std::string& root,
                          const std::vector<std::string>& defaultPages) {
  std::string p(requestPath);
  std::replace(p.begin(), p.end(), '\\', '/');
  if (const size_t star = p.find('*'); star != std::string::npos) {
    p = std::string(TrimControl(std::string_view(p).substr(star + 1)));
  }
  MappedPath mapped;
  p.insert(0, root);
  mapped.full = NormalPath(p);
  // Compared exactly: on this platform "/Videos" and "/videos" are different folders.
  const bool inside =
      mapped.full.find("/..") == std::string::npos && mapped.full.starts_with(root) &&
      (root.ends_with('/') || mapped.full.size() == root.size() || mapped.full[root.size()] == '/');
  if (!inside) {
    mapped.kind = MappedPath::Kind::kForbidden;
    return mapped;
  }
  std::string rel = mapped.full.substr(root.size());
  if (!rel.empty() && !rel.ends_with('/')) {
    // root + rel is the full path.
    PathLook look = LookAt(mapped.full, true);
    if (look.folder) {
      mapped.kind = MappedPath::Kind::kFolderMoved;
      return mapped;
    }
    mapped.fileSize = look.size;
    mapped.file = std::move(look.file);
  } else {
    if (rel.empty()) rel = "/";
    for (const std::string& page : defaultPages) {
      PathLook look = LookAt(root + rel + page, false);
      if (look.size >= 0) {
        mapped.fileSize = look.size;
        mapped.file = std::move(look.file);
        rel += page;
        break;
      }
    }
  }
  mapped.name = std::move(rel);
  return mapped;
}

}  // namespace vidoria
