// What changing each switch of the settings sets off, shared by the window's controls and by
// LoadSettings. Main thread only.
#pragma once

#include "library/settings.h"

namespace vidoria {

// Check boxes: setting a box to the state it already has sets nothing off; a change stores the
// state and runs the box's hook.
// Unchecking autorun also unchecks autostart (deleting the shortcut through its hook).
void SetAutorun(Settings& live, bool checked, const SettingsHooks& hooks);
void SetAutostart(Settings& live, bool checked, const SettingsHooks& hooks);
void SetAutoscan(Settings& live, bool checked, const SettingsHooks& hooks);
void SetLogin(Settings& live, bool checked, const SettingsHooks& hooks);

// The interval field: clamps to kMinScanMinutes..kMaxScanMinutes, then tells scanInterval the
// value it holds, every time.
void SetScanMinutes(Settings& live, int minutes, const SettingsHooks& hooks);

// The autostart box is offered only while autorun is checked.
inline bool AutostartVisible(const Settings& live) {
  return live.autorun;
}

}  // namespace vidoria
