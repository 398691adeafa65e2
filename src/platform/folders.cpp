#include "platform/folders.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/file_names.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;

bool IsAbsolute(std::string_view path) {
  return !path.empty() && path.front() == '/';
}

// The value of `key` in user-dirs.dirs: lines KEY="$HOME/name" or KEY="/absolute", '#' comments;
// inside the quotes a backslash keeps the next character as it is. A value that is the home
// folder itself means "no such folder" to XDG, so it gives nothing here either.
std::optional<std::string> UserDir(const EnvLookup& env, std::string_view key) {
  std::string config = env("XDG_CONFIG_HOME");
  if (!IsAbsolute(config)) {
    const std::string home = env("HOME");
    if (home.empty()) return std::nullopt;
    config = WithTrailingSlash(home) + ".config";
  }
  std::ifstream in(WithTrailingSlash(config) + "user-dirs.dirs", std::ios::binary);
  std::string line;
  std::optional<std::string> found;
  while (std::getline(in, line)) {
    std::string_view rest(line);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    if (!rest.starts_with(key)) continue;
    rest.remove_prefix(key.size());
    if (!rest.starts_with("=\"")) continue;
    rest.remove_prefix(2);
    std::string value;
    bool closed = false;
    for (size_t i = 0; i < rest.size() && !closed; ++i) {
      if (rest[i] == '\\' && i + 1 < rest.size()) {
        value += rest[++i];
      } else if (rest[i] == '"') {
        closed = true;
      } else {
        value += rest[i];
      }
    }
    if (!closed) continue;
    if (value.starts_with("$HOME")) {
      const std::string home = env("HOME");
      if (home.empty()) continue;
      value = home + value.substr(5);
    }
    if (!IsAbsolute(value)) continue;
    found = value;  // the last assignment wins, as when the shell sources the file
  }
  if (!found) return std::nullopt;
  const std::string home = env("HOME");
  if (!home.empty() && WithTrailingSlash(*found) == WithTrailingSlash(home)) return std::nullopt;
  return WithTrailingSlash(*found);
}

std::optional<std::string> UserFolder(const EnvLookup& env, std::string_view key,
                                      std::string_view fallback) {
  if (std::optional<std::string> dir = UserDir(env, key)) return *dir;
  const std::string home = env("HOME");
  if (home.empty()) return std::nullopt;
  return WithTrailingSlash(home) + std::string(fallback) + "/";
}

}  // namespace

std::string SystemEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string ProgramFolder() {
  std::unique_ptr<char, void (*)(void*)> path(::realpath("/proc/self/exe", nullptr), std::free);
  return path ? FolderOf(path.get()) : std::string();
}

std::string DataHome(const EnvLookup& env) {
  const std::string xdg = env("XDG_DATA_HOME");
  if (IsAbsolute(xdg)) return WithTrailingSlash(xdg);
  const std::string home = env("HOME");
  if (!home.empty()) return WithTrailingSlash(home) + ".local/share/";
  return ProgramFolder();
}

DataFolders FindDataFolder(const std::string& dataHome) {
  const std::string base = WithTrailingSlash(dataHome);
  std::error_code error;
  if (fs::is_directory(base + "Kelvane3", error)) return {base + "Kelvane3/", true};
  const std::string four = base + "Kelvane 4/";
  return {four, fs::is_directory(four, error)};
}

OsStatus CreateDataSubfolders(const std::string& dataFolder) {
  const std::string base = WithTrailingSlash(dataFolder);
  std::optional<OsError> failure;
  if (base.empty()) failure = OsError{"no data folder"};
  for (const std::string& folder : {base, base + "temp", base + "LOG"}) {
    std::error_code error;
    fs::create_directories(folder, error);
    std::error_code ignored;
    if (!failure && !fs::is_directory(folder, ignored)) {
      failure = OsError{"cannot create " + folder, error ? error.value() : ENOTDIR};
    }
  }
  if (failure) return *failure;
  return OsOk();
}

std::optional<std::string> UserDocumentsFolder(const EnvLookup& env) {
  // No documents folder without a home, whatever user-dirs.dirs says.
  if (env("HOME").empty()) return std::nullopt;
  return UserFolder(env, "XDG_DOCUMENTS_DIR", "Documents");
}

std::optional<std::string> UserVideosFolder(const EnvLookup& env) {
  return UserFolder(env, "XDG_VIDEOS_DIR", "Videos");
}

std::string CommonDocumentsFolder() {
  return "/srv/";
}

std::string CommonVideoFolder() {
  return "/srv/Videos/";
}

}  // namespace vidoria
