// The settings file read the way a start reads it (Engine::Create): no file means the first
// start's settings; a file that cannot be read, has fewer than four lines or no number on line 4
// is damaged, and the first start's settings stand in for it. The switches' side effects
// (autostart shortcut, server start) are not run: these readers only learn the values.
// Plain functions; the caller holds the data folder's claim where it writes.
#pragma once

#include <optional>
#include <string>

#include "library/settings.h"

namespace vidoria {

struct StoredSettings {
  Settings settings;
  std::optional<std::string> damage;  // why the file's own values are not in `settings`
};

// Only looks: a damaged file stays where it is.
StoredSettings LookAtStoredSettings(const std::string& path);

// For a change that is then written over the file: a damaged file is first set aside
// (NAME.bad), as a start would, so that nothing it held is lost; `damage` is the notice saying
// so.
StoredSettings LoadStoredSettingsForChange(const std::string& path);

}  // namespace vidoria
