#include "library/settings.h"

#include "library/cipher.h"
#include "library/settings_numbers.h"
#include "library/settings_switches.h"

namespace vidoria {

namespace {

std::string OnOff(std::string_view name, bool on) {
  return std::string(name) + (on ? " ON" : " OFF");
}

// Hand-edited files say "on", "ON", "Autorun on", ...: any "on" in any letter case counts.
bool SaysOn(std::string_view line) {
  std::string lower(line);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower.find("on") != std::string::npos;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

const char* const kLineNames[] = {"the server autorun switch", "the autostart switch",
                                  "the folder scan switch", "the scan interval"};

// Lines 1 to 4 are required; the rest of the file is optional.
const std::string& RequiredLine(const std::vector<std::string>& lines, size_t number) {
  if (lines.size() < number) {
    throw SettingsError("The settings end after " + std::to_string(lines.size()) +
                        (lines.size() == 1 ? " line" : " lines") + ", before line " +
                        std::to_string(number) + " (" + kLineNames[number - 1] +
                        "); the remaining settings were not applied.");
  }
  return lines[number - 1];
}

}  // namespace

int PortValue(std::string_view portText) {
  return WholeNumber(portText).value_or(kDefaultPort);
}

std::optional<std::string> SettingsProblem(const Settings& settings) {
  if (auto problem = PasswordProblem(settings.password)) return problem;
  if (HasLineBreak(settings.username)) return "The user name cannot contain a line break.";
  if (HasLineBreak(settings.port)) return "The port cannot contain a line break.";
  return std::nullopt;
}

std::vector<std::string> SettingsLines(const Settings& settings) {
  if (auto problem = SettingsProblem(settings)) throw SettingsError(*problem);
  return {
      OnOff("Autorun", settings.autorun),
      OnOff("Autostart", settings.autostart),
      OnOff("Autoscan", settings.autoscan),
      std::to_string(settings.scanMinutes),
      settings.username,
      EncodeText(kCypherKey, settings.password),
      OnOff("login", settings.login),
      settings.port,
  };
}

void LoadSettings(Settings& live, const std::vector<std::string>& lines,
                  const SettingsHooks& hooks) {
  if (lines.size() >= 8) live.port = lines[7];
  // Before the switches, so that an autorun switch starts the server on the stored port.
  if (hooks.serverPort) hooks.serverPort(PortValue(live.port));

  if (SaysOn(RequiredLine(lines, 1))) SetAutorun(live, true, hooks);
  if (SaysOn(RequiredLine(lines, 2))) SetAutostart(live, true, hooks);
  if (SaysOn(RequiredLine(lines, 3))) SetAutoscan(live, true, hooks);

  const std::string& interval = RequiredLine(lines, 4);
  const std::optional<int> minutes = WholeNumber(interval);
  if (!minutes) {
    throw SettingsError("Line 4 of the settings (the scan interval) is not a whole number: \"" +
                        interval + "\"; the remaining settings were not applied.");
  }
  SetScanMinutes(live, *minutes, hooks);

  if (lines.size() >= 5) live.username = lines[4];
  if (lines.size() >= 6) live.password = DecodeText(kCypherKey, lines[5]);
  if (lines.size() >= 7 && SaysOn(lines[6])) SetLogin(live, true, hooks);
}

}  // namespace vidoria
