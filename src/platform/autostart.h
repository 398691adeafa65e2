// The start-up shortcut: a desktop entry in the session's autostart folder that starts the
// program when the user logs in to the desktop.
#pragma once

#include <string>

#include "platform/folders.h"
#include "platform/result.h"

namespace vidoria {

// "$XDG_CONFIG_HOME/autostart/Vidoria 1.4.desktop"; XDG_CONFIG_HOME defaults to "$HOME/.config"
// (also when it is set but not absolute). "" when neither gives a folder.
std::string StartupShortcutPath(const EnvLookup& env);

// The desktop entry that starts `programPath` in its own folder.
std::string StartupShortcutText(const std::string& programPath);

// Write / remove the shortcut. The program does not report failures beyond the result: the
// switch stays as the user set it. Create makes the autostart folder when needed and replaces the
// file atomically; Delete counts an absent shortcut as deleted. Any thread, one at a time.
OsStatus CreateStartupShortcut(const std::string& programPath, const EnvLookup& env = SystemEnv);
OsStatus DeleteStartupShortcut(const EnvLookup& env = SystemEnv);

}  // namespace vidoria
