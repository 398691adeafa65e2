#include "site/file_exists.h"

#include <sys/stat.h>

namespace vidoria {

bool ExistingFile(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace vidoria
