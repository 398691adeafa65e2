#include "library/user_folders.h"

#include <optional>

#include "library/library_error.h"

namespace vidoria {
namespace {

std::string OrNoDocuments(std::optional<std::string> folder) {
  if (!folder) throw LibraryError("Could not determine My Documents path");
  return std::move(*folder);
}

}  // namespace

std::string MyDocumentsFolder(const EnvLookup& env) {
  return OrNoDocuments(UserDocumentsFolder(env));
}

std::string MyVideoFolder(const EnvLookup& env) {
  return OrNoDocuments(UserVideosFolder(env));
}

}  // namespace vidoria
