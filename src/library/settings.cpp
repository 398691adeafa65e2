#include "library/settings.h"

#include <iterator>

#include "library/cipher.h"
#include "library/line_breaks.h"
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

const char* const kLineNames[] = {"the server autorun switch", "the autostart switch",
                                  "the folder scan switch", "the scan interval"};

// The lines of the values SettingsProblem looks at.
constexpr size_t kUsernameLine = 4, kPasswordLine = 5, kPortLine = 7;

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

std::vector<std::string> SettingsLinesToStore(const Settings& settings,
                                              const std::vector<std::string>& current,
                                              std::vector<std::string>& notices) {
  if (!SettingsProblem(settings)) return SettingsLines(settings);
  const Settings firstStart;
  Settings storable = settings;
  storable.username = storable.password = storable.port = "";
  std::vector<std::string> lines = SettingsLines(storable);
  const struct {
    size_t line;
    bool refused;
    std::string value;  // the line as it would be written
    std::string fallback;
    const char* name;
  } values[] = {
      {kUsernameLine, HasLineBreak(settings.username), settings.username, firstStart.username,
       "user name"},
      {kPasswordLine, PasswordProblem(settings.password).has_value(),
       EncodeText(kCypherKey, settings.password), EncodeText(kCypherKey, firstStart.password),
       "password"},
      {kPortLine, HasLineBreak(settings.port), settings.port, firstStart.port, "port"},
  };
  for (const auto& value : values) {
    if (!value.refused) {
      lines[value.line] = value.value;
      continue;
    }
    const bool stored = current.size() > value.line;
    lines[value.line] = stored ? current[value.line] : value.fallback;
    notices.push_back(std::string("The settings keep ") +
                      (stored ? "the stored " : "the default ") + value.name +
                      ": the new one cannot be stored.");
  }
  return lines;
}

std::optional<std::string> SettingsFileProblem(const std::vector<std::string>& lines) {
  // Lines 1 to 4 are required; the rest of the file is optional.
  const size_t required = std::size(kLineNames);
  if (lines.size() < required) {
    return "it ends after " + std::to_string(lines.size()) +
           (lines.size() == 1 ? " line" : " lines") + ", before line " +
           std::to_string(lines.size() + 1) + " (" + kLineNames[lines.size()] + ")";
  }
  if (!WholeNumber(lines[3])) {
    return "line 4 (" + std::string(kLineNames[3]) + ") is not a whole number: \"" +
           Printable(lines[3]) + "\"";
  }
  return std::nullopt;
}

void LoadSettings(Settings& live, const std::vector<std::string>& lines,
                  const SettingsHooks& hooks) {
  if (auto problem = SettingsFileProblem(lines)) throw SettingsError(*problem);

  if (lines.size() >= 8) live.port = lines[7];
  // Before the switches, so that an autorun switch starts the server on the stored port.
  if (hooks.serverPort) hooks.serverPort(PortValue(live.port));

  if (SaysOn(lines[0])) SetAutorun(live, true, hooks);
  if (SaysOn(lines[1])) SetAutostart(live, true, hooks);
  if (SaysOn(lines[2])) SetAutoscan(live, true, hooks);
  SetScanMinutes(live, *WholeNumber(lines[3]), hooks);

  if (lines.size() >= 5) live.username = lines[4];
  if (lines.size() >= 6) live.password = DecodeText(kCypherKey, lines[5]);
  if (lines.size() >= 7 && SaysOn(lines[6])) SetLogin(live, true, hooks);
}

}  // namespace vidoria
