// The eight stored settings: their live values, the lines of the settings file, and applying a
// stored file at start-up. File reading and writing stay with the caller (line files).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/library_error.h"

namespace vidoria {

inline constexpr int kMinScanMinutes = 5;
inline constexpr int kMaxScanMinutes = 1440;
inline constexpr int kDefaultPort = 80;

// The settings as the window's controls hold them; the defaults are those of a first start.
struct Settings {
  bool autorun = false;    // "Start server when program starts"
  bool autostart = false;  // "Start program when the desktop session starts"
  bool autoscan = false;   // "Scan folders every"
  int scanMinutes = 5;     // always within kMinScanMinutes..kMaxScanMinutes
  std::string username = "qorvu";
  std::string password = "qorvu";  // in clear; enciphered only in the file
  bool login = false;              // "Require login"
  std::string port = "80";         // as typed; see PortValue
};

// What the switches set off, supplied by the engine and the window. Each hook may be empty.
// They run on the caller's (main) thread, in the order the switches are applied.
struct SettingsHooks {
  std::function<void(bool checked)> autorun;    // show box 2 while checked; start the server
  std::function<void(bool checked)> autostart;  // create / delete the start-up shortcut
  std::function<void(bool checked)> autoscan;   // arm / disarm the periodic rescan
  std::function<void(int minutes)> scanInterval;
  std::function<void(bool checked)> login;  // loginRequired, credential fields shown
  std::function<void(int port)> serverPort;
};

// A settings file that cannot be applied, or settings that cannot be stored.
class SettingsError : public LibraryError {
 public:
  using LibraryError::LibraryError;
};

// The eight lines of the settings file, in order. Throws SettingsError with SettingsProblem's
// message rather than produce lines that would read back different.
std::vector<std::string> SettingsLines(const Settings& settings);

// Why `settings` cannot be stored, or nullopt: a password PasswordProblem refuses, or a user name
// or port with a line break. The window checks fields with this as they are typed, so that
// saving at close never meets it.
std::optional<std::string> SettingsProblem(const Settings& settings);

// The lines to write at close; never throws. A value SettingsProblem refuses cannot be in the live
// settings (every change is checked as it is made), but if one still is, the file must not stay
// unwritten over it: every other change would be lost. Such a value keeps the line `current`
// (the file as it is now) holds at its place, or the first start's line when it holds none, and
// `notices` gets a line naming the setting (never the password). Keeping the stored line rather
// than writing a default matters for the password: a default one would open a login-protected
// site to anyone who knows it.
std::vector<std::string> SettingsLinesToStore(const Settings& settings,
                                              const std::vector<std::string>& current,
                                              std::vector<std::string>& notices);

// Why stored lines cannot be applied, or nullopt: fewer than four lines, or a fourth line that is
// not a whole number. The reason reads on after the file's name: "it ends after 2 lines, before
// line 3 (the folder scan switch)".
std::optional<std::string> SettingsFileProblem(const std::vector<std::string>& lines);

// Applies stored lines to `live` (a fresh Settings at start-up), running each switch's handling
// as a click on it would. Switches whose line does not say "on" are left as they are.
// The interval line is clamped to 5..1440 and otherwise kept as it is (no rounding to the
// control's step of 5). All or nothing: lines SettingsFileProblem refuses throw SettingsError
// with its reason before anything is applied; the caller treats the file as damaged.
void LoadSettings(Settings& live, const std::vector<std::string>& lines,
                  const SettingsHooks& hooks);

// The port the server uses for the port text: the text's number when it is a whole number,
// otherwise kDefaultPort (see WholeNumber). The text itself is stored as typed.
int PortValue(std::string_view portText);

}  // namespace vidoria
