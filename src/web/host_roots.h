// Document roots by host name, default pages, and the mapping of request paths onto them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/answer_file.h"

namespace vidoria {

// Absolute and normal: "." and ".." resolved by the text alone (links are not followed), runs of
// '/' collapsed; a trailing '/' is kept.
std::string NormalPath(std::string_view path);

// Filled while the server is stopped, read without a lock while it listens.
class HostRoots {
 public:
  void Clear() { roots_.clear(); }
  // "HOST = folder": a relative folder is taken under `programFolder`; '\' reads as '/'.
  void Add(std::string_view line, const std::string& programFolder);
  // The folder for the host (upper-cased, port included), else the "*" folder, else "".
  std::string For(std::string_view host) const;

 private:
  std::vector<std::pair<std::string, std::string>> roots_;
};

// The size of a regular file that can be opened for reading; -1 for anything else.
int64_t FileSizeOf(const std::string& path);

struct MappedPath {
  enum class Kind { kFile, kForbidden, kFolderMoved };
  Kind kind = Kind::kFile;
  std::string full;       // the normal path the request named
  std::string name;       // for kFile: relative to the root, starting with '/' for site files
  int64_t fileSize = -1;  // for kFile: -1 when missing or unreadable
  AnswerFile file;        // for kFile with fileSize >= 0: the file, open for the answer
};

// Maps a request path under a document root. Paths that leave the root are forbidden; a folder
// named without its trailing '/' is to be redirected; a folder with it gets its first existing
// default page. The file found stays open in `file`, so that its answer need not open it again
// (one open and fstat per request, a stat more only for paths that cannot be opened).
MappedPath MapRequestPath(std::string_view requestPath, const std::string& root,
                          const std::vector<std::string>& defaultPages);

}  // namespace vidoria
