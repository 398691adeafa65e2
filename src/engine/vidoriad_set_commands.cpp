// `vidoriad set ...`: each setting changed as its control in the window changes it, then the
// settings file written as a close writes it.
#include <unistd.h>

#include <functional>
#include <ostream>

#include "engine/stored_settings.h"
#include "engine/vidoriad_command_parts.h"
#include "library/settings_switches.h"
#include "library/stored_files.h"
#include "platform/password_input.h"
#include "upnp/device_files.h"

namespace vidoria {
namespace {

// Why the change cannot be made, or nullopt once it is made in `settings`.
using SettingsChange = std::function<std::optional<std::string>(Settings& settings)>;

int ChangeSettings(const CommandContext& context, const SettingsChange& change,
                   const std::function<std::string(const Settings&)>& done) {
  const auto claim = ClaimForChange(context);
  if (!claim) return 1;
  const std::string path = claim->dataFolder + std::string(kSettingsFileName);
  StoredSettings stored = LoadStoredSettingsForChange(path);
  if (stored.damage) *context.err << "vidoriad: " << *stored.damage << std::endl;
  std::optional<std::string> problem = change(stored.settings);
  // The checks the window's fields make as they are typed.
  if (!problem) problem = SettingsProblem(stored.settings);
  if (problem) {
    *context.err << "vidoriad: " << *problem << " Nothing was changed." << std::endl;
    return 1;
  }
  try {
    // Every value was checked above, so no line is left out.
    (void)WriteLineFile(path, SettingsLines(stored.settings));
  } catch (const LibraryError& e) {
    *context.err << "vidoriad: " << e.what() << std::endl;
    return 1;
  }
  *context.out << done(stored.settings) << std::endl;
  return 0;
}

}  // namespace

int SetPort(const CommandContext& context, int port) {
  return ChangeSettings(
      context,
      [port](Settings& settings) {
        settings.port = std::to_string(port);
        return std::nullopt;
      },
      [](const Settings& settings) {
        return "The server listens on port " + settings.port + " from its next start.";
      });
}

int SetLogin(const CommandContext& context, bool on) {
  return ChangeSettings(
      context,
      [on](Settings& settings) {
        vidoria::SetLogin(settings, on, SettingsHooks{});
        return std::nullopt;
      },
      [](const Settings& settings) {
        if (!settings.login) return std::string("Phones see the site without a login.");
        std::string text = "Phones log in first, as " + settings.username + ".";
        // Everybody who has read the user guide knows the default password.
        if (settings.password == Settings{}.password) {
          text += " The password is still the default one; change it with: vidoriad set password";
        }
        return text;
      });
}

int SetUser(const CommandContext& context, const std::string& name) {
  return ChangeSettings(
      context,
      [&name](Settings& settings) {
        settings.username = name;
        return std::nullopt;
      },
      [](const Settings& settings) {
        return "The login's user name is " + settings.username + ".";
      });
}

int SetPassword(const CommandContext& context) {
  return ChangeSettings(
      context,
      [&context](Settings& settings) -> std::optional<std::string> {
        PasswordInput input = ReadNewPassword(context.input, STDERR_FILENO);
        if (!input.password) return "The password was not set: " + input.problem + ".";
        settings.password = std::move(*input.password);
        return std::nullopt;
      },
      [](const Settings&) { return std::string("The login's password is changed."); });
}

int SetScan(const CommandContext& context, bool on, int minutes) {
  return ChangeSettings(
      context,
      [on, minutes](Settings& settings) {
        vidoria::SetAutoscan(settings, on, SettingsHooks{});
        if (on) vidoria::SetScanMinutes(settings, minutes, SettingsHooks{});
        return std::nullopt;
      },
      [](const Settings& settings) {
        return settings.autoscan ? "The server rescans the watched folders every " +
                                       std::to_string(settings.scanMinutes) + " minutes."
                                 : std::string("The server does not rescan the watched folders.");
      });
}

int SetSharing(const CommandContext& context, bool on) {
  const auto claim = ClaimForChange(context);
  if (!claim) return 1;
  if (auto problem = WriteSharingSwitch(claim->dataFolder + std::string(kSharingFileName), on)) {
    *context.err << "vidoriad: " << *problem << std::endl;
    return 1;
  }
  *context.out << (on ? "The server shares with TVs and players on this network."
                      : "The server does not share with TVs and players.")
               << std::endl;
  return 0;
}

}  // namespace vidoria
