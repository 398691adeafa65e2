// The engine's settings: each change takes effect at once, as a click on its control would.
#include "engine/engine.h"
#include "library/line_breaks.h"
#include "library/settings_switches.h"

namespace vidoria {

void Engine::SetAutorun(bool on) {
  vidoria::SetAutorun(settings_, on, hooks_);
}

void Engine::SetAutostart(bool on) {
  vidoria::SetAutostart(settings_, on, hooks_);
}

void Engine::SetAutoscan(bool on) {
  vidoria::SetAutoscan(settings_, on, hooks_);
}

void Engine::SetScanMinutes(int minutes) {
  vidoria::SetScanMinutes(settings_, minutes, hooks_);
}

void Engine::SetLoginRequired(bool on) {
  vidoria::SetLogin(settings_, on, hooks_);
}

std::optional<std::string> Engine::SetCredentials(std::string username, std::string password) {
  Settings changed = settings_;
  changed.username = std::move(username);
  changed.password = std::move(password);
  if (auto problem = SettingsProblem(changed)) {
    // The password stays out of the log.
    activity_.Add(HasLineBreak(changed.username)
                      ? "Login not changed: the user name " + Printable(changed.username) +
                            " has a line break, which the settings file cannot store."
                      : "Login not changed: the new password cannot be stored.");
    return problem;
  }
  settings_ = std::move(changed);
  access_.SetCredentials(settings_.username, settings_.password);
  return std::nullopt;
}

std::optional<std::string> Engine::SetPortText(std::string text) {
  Settings changed = settings_;
  changed.port = std::move(text);
  if (auto problem = SettingsProblem(changed)) {
    activity_.Add("Port not changed: " + Printable(changed.port) +
                  " has a line break, which the settings file cannot store.");
    return problem;
  }
  settings_ = std::move(changed);
  return std::nullopt;
}

}  // namespace vidoria
