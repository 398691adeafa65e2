#include "engine/stored_settings.h"

#include <filesystem>

#include "library/stored_files.h"

namespace vidoria {

StoredSettings LookAtStoredSettings(const std::string& path) {
  StoredSettings stored;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return stored;
  try {
    const std::vector<std::string> lines = ReadLineFile(path);
    if (auto problem = SettingsFileProblem(lines)) {
      stored.damage = *problem;
    } else {
      LoadSettings(stored.settings, lines, SettingsHooks{});
    }
  } catch (const LibraryError& e) {
    stored.damage = e.what();
  }
  return stored;
}

StoredSettings LoadStoredSettingsForChange(const std::string& path) {
  StoredSettings stored;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return stored;
  std::vector<std::string> lines;
  stored.damage = ReadLineFileOrSetAside(lines, path);
  if (!stored.damage) {
    if (auto problem = SettingsFileProblem(lines)) stored.damage = SetAsideDamaged(path, *problem);
  }
  if (!stored.damage) LoadSettings(stored.settings, lines, SettingsHooks{});
  return stored;
}

}  // namespace vidoria
