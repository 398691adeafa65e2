#include "platform/autostart.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "platform/atomic_write.h"
#include "platform/file_names.h"

namespace vidoria {

namespace {

// The shortcut is named after the program title, as the entry's Name is.
constexpr std::string_view kTitle = "Vidoria 1.4";
const std::string kShortcutName = std::string(kTitle) + ".desktop";

// Exec is split into arguments like a shell line; a path with any character the desktop-entry
// format reserves is quoted, and inside quotes ", `, $ and \ are escaped. '%' starts a field
// code anywhere, so a literal one is doubled.
std::string ExecArgument(std::string_view path) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string out;
  const bool quote = path.find_first_of(kReserved) != std::string_view::npos;
  if (quote) out += '"';
  for (const char c : path) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    out += c;
    if (c == '%') out += '%';
  }
  if (quote) out += '"';
  return out;
}

// Values of the file's string type: backslash escapes for the characters a line cannot hold.
// For Exec this applies after the quoting above (a literal '\' in a quoted path becomes "\\\\").
std::string EntryValue(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string StartupShortcutPath(const EnvLookup& env) {
  std::string config = env("XDG_CONFIG_HOME");
  // Relative values are invalid for the XDG variables and are ignored.
  if (config.empty() || config.front() != '/') {
    const std::string home = env("HOME");
    if (home.empty()) return {};
    config = WithTrailingSlash(home) + ".config";
  }
  return WithTrailingSlash(config) + "autostart/" + kShortcutName;
}

std::string StartupShortcutText(const std::string& programPath) {
  std::string text = "[Desktop Entry]\nType=Application\n";
  text += "Name=" + std::string(kTitle) + "\n";
  text += "Exec=" + EntryValue(ExecArgument(programPath)) + "\n";
  text += "Path=" + EntryValue(FolderOf(programPath)) + "\n";
  text += "X-GNOME-Autostart-enabled=true\n";
  return text;
}

OsStatus CreateStartupShortcut(const std::string& programPath, const EnvLookup& env) {
  const std::string path = StartupShortcutPath(env);
  if (path.empty()) return OsError{"no home folder for the autostart folder"};
  std::error_code error;
  std::filesystem::create_directories(FolderOf(path), error);
  if (error) return OsError{"cannot create the autostart folder", error.value()};
  // A half-written entry could start something odd at the next login.
  if (auto written = WriteFileAtomically(path, StartupShortcutText(programPath)); !written) {
    return static_cast<const OsError&>(written.Error());
  }
  return OsOk();
}

OsStatus DeleteStartupShortcut(const EnvLookup& env) {
  const std::string path = StartupShortcutPath(env);
  if (path.empty()) return OsError{"no home folder for the autostart folder"};
  if (std::remove(path.c_str()) != 0 && errno != ENOENT) return OsError{"cannot delete it", errno};
  return OsOk();
}

}  // namespace vidoria
