// The XML documents the device serves about itself: the device description (what a TV reads
// after discovery) and the three service descriptions. Pure; any thread.
#pragma once

#include <string>
#include <string_view>

namespace vidoria {

inline constexpr std::string_view kMediaServerType = "urn:schemas-upnp-org:device:MediaServer:1";
inline constexpr std::string_view kContentDirectoryType =
    "urn:schemas-upnp-org:service:ContentDirectory:1";
inline constexpr std::string_view kConnectionManagerType =
    "urn:schemas-upnp-org:service:ConnectionManager:1";
inline constexpr std::string_view kRegistrarType =
    "urn:microsoft.com:service:X_MS_MediaReceiverRegistrar:1";

// File names under the folder the device serves; the description links the other two.
inline constexpr std::string_view kDescriptionFile = "description.xml";
inline constexpr std::string_view kContentDirectoryFile = "ContentDirectory.xml";
inline constexpr std::string_view kConnectionManagerFile = "ConnectionManager.xml";
inline constexpr std::string_view kRegistrarFile = "X_MS_MediaReceiverRegistrar.xml";

// "Vidoria on " + the host name.
std::string FriendlyName(std::string_view hostName);

// `uuid` without the "uuid:" prefix. The name is escaped.
std::string DeviceDescription(std::string_view friendlyName, std::string_view uuid);
std::string_view ContentDirectoryDescription();
std::string_view ConnectionManagerDescription();
std::string_view RegistrarDescription();

// The answer to Samsung's X_GetFeatureList: the container that holds every video.
std::string_view FeatureList();

}  // namespace vidoria
