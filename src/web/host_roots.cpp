#include "web/host_roots.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "server/text.h"

namespace vidoria {

std::string NormalPath(std::string_view path) {
  std::string text(path);
  if (text.empty() || text.front() != '/') text.insert(0, "/");
  std::string normal = std::filesystem::path(text).lexically_normal().string();
  // ".." above the top stays at the top, as the platform resolves it.
  while (normal.starts_with("/../")) normal.erase(0, 3);
  if (normal == "/..") normal = "/";
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

int64_t FileSizeOf(const std::string& path) {
  // Non-blocking, so that a named pipe in a media folder cannot stall a worker.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  return regular ? static_cast<int64_t>(info.st_size) : -1;
}

MappedPath MapRequestPath(std::string_view requestPath, const std::string& root,
                          const std::vector<std::string>& defaultPages) {
  std::string p(requestPath);
  std::replace(p.begin(), p.end(), '\\', '/');
  if (const size_t star = p.find('*'); star != std::string::npos) {
    p = std::string(TrimControl(std::string_view(p).substr(star + 1)));
  }
  MappedPath mapped;
  mapped.full = NormalPath(root + p);
  // Compared exactly: on this platform "/Videos" and "/videos" are different folders.
  const bool inside =
      mapped.full.find("/..") == std::string::npos && mapped.full.starts_with(root) &&
      (root.ends_with('/') || mapped.full.size() == root.size() || mapped.full[root.size()] == '/');
  if (!inside) {
    mapped.kind = MappedPath::Kind::kForbidden;
    return mapped;
  }
  std::string rel = mapped.full.substr(root.size());
  if (!rel.ends_with('/')) {
    std::error_code ec;
    if (!rel.empty() && std::filesystem::is_directory(root + rel, ec)) {
      mapped.kind = MappedPath::Kind::kFolderMoved;
      return mapped;
    }
  }
  if (!rel.empty() && !rel.ends_with('/')) {
    mapped.fileSize = FileSizeOf(mapped.full);
  } else {
    if (rel.empty()) rel = "/";
    for (const std::string& page : defaultPages) {
      mapped.fileSize = FileSizeOf(root + rel + page);
      if (mapped.fileSize >= 0) {
        rel += page;
        break;
      }
    }
  }
  mapped.name = rel;
  return mapped;
}

}  // namespace vidoria
