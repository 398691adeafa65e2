// The media server's two stored files in the data folder, beside the settings file (whose eight
// lines stay as they are):
// - sharing.kavra: the switch "Share with TVs and players on this network", one line, "Share
//   ON" or "Share OFF". Missing, unreadable or without "off" in its line (any letter case) reads
//   as on, the first start's setting.
// - device.kavra: the device's UUID, one line (36 characters, e.g.
//   "3f1c6a0e-5b7d-4c2a-9e11-0d4b8c7a6f52"), made at the first start of sharing and kept, so that
//   a TV knows the server again after a restart. A line that is no UUID is replaced.
// Written atomically as every stored file (library/stored_files.h), CR LF line ends. Main thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vidoria {

inline constexpr std::string_view kSharingFileName = "sharing.kavra";
inline constexpr std::string_view kDeviceFileName = "device.kavra";

bool ReadSharingSwitch(const std::string& path);
// Why the switch could not be stored, or nullopt.
std::optional<std::string> WriteSharingSwitch(const std::string& path, bool on);

// The stored UUID, or a new one stored now. `problem` gets why a new one could not be stored
// (the new one is still returned: sharing works, with another identity next time); "" with a
// problem when the system has no randomness to make one.
std::string DeviceUuid(const std::string& path, std::optional<std::string>& problem);

// Whether `text` is a UUID in its 8-4-4-4-12 hex form.
bool IsUuid(std::string_view text);

}  // namespace vidoria
