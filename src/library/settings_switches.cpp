#include "library/settings_switches.h"

#include <algorithm>

namespace vidoria {

namespace {

// A check box reports only real changes, so a box set to its own state sets nothing off.
void Toggle(bool& box, bool checked, const std::function<void(bool)>& hook) {
  if (box == checked) return;
  box = checked;
  if (hook) hook(checked);
}

}  // namespace

void SetAutorun(Settings& live, bool checked, const SettingsHooks& hooks) {
  Toggle(live.autorun, checked, hooks.autorun);
  // A hidden autostart box must not keep the program starting with the session.
  if (!live.autorun) SetAutostart(live, false, hooks);
}

void SetAutostart(Settings& live, bool checked, const SettingsHooks& hooks) {
  Toggle(live.autostart, checked, hooks.autostart);
}

void SetAutoscan(Settings& live, bool checked, const SettingsHooks& hooks) {
  Toggle(live.autoscan, checked, hooks.autoscan);
}

void SetLogin(Settings& live, bool checked, const SettingsHooks& hooks) {
  Toggle(live.login, checked, hooks.login);
}

void SetScanMinutes(Settings& live, int minutes, const SettingsHooks& hooks) {
  live.scanMinutes = std::clamp(minutes, kMinScanMinutes, kMaxScanMinutes);
  if (hooks.scanInterval) hooks.scanInterval(live.scanMinutes);
}

}  // namespace vidoria
