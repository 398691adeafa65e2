#include "engine/scan_input.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file_names.h"
#include "platform/folder_walk.h"

namespace vidoria {

std::optional<std::string> ScanInputProblem(const std::string& path) {
  if (HasLineBreak(path) || HasLineBreak(ResolveShortcut(path))) {
    return "Not added: " + Printable(path) +
           " has a line break in its name, which the library cannot store.";
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return "Not added: " + path + " does not exist.";
  }
  if (S_ISDIR(info.st_mode)) {
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr) {
      return "Not added: the folder " + path + " cannot be read (" + std::strerror(errno) + ").";
    }
    ::closedir(folder);
  } else if (::access(path.c_str(), R_OK) != 0) {
    return "Not added: " + path + " cannot be read (" + std::strerror(errno) + ").";
  }
  return std::nullopt;
}

std::vector<std::string> WithoutLineBreaks(std::vector<std::string> files, ActivityLog& log) {
  std::erase_if(files, [&log](const std::string& file) {
    if (ExtensionOf(file) != "mp4" || !HasLineBreak(file)) return false;
    // The folder that holds the name with the break (a subfolder's name may be the one).
    const std::string before = file.substr(0, file.find_first_of("\r\n"));
    log.Add("Skipped in " + FolderOf(before) + ": " + Printable(file) +
            " has a line break in its name, which the library cannot store.");
    return true;
  });
  return files;
}

}  // namespace vidoria
