// The device's icon, which TVs show beside its name in their list of sources: a white play
// triangle on a blue square, drawn here and written as a PNG file, so that no picture file has to
// be installed beside the program. Pure; any thread.
#pragma once

#include <string>

namespace vidoria {

// The sizes the device description lists (PNG_SM and PNG_LRG in DLNA's terms).
inline constexpr int kIconSizes[] = {48, 120};

// "icon-48.png" and the like: the file name under the description folder.
std::string IconFileName(int size);

// The icon as the bytes of a PNG file, `size` pixels square, 24-bit colour.
std::string DeviceIconPng(int size);

}  // namespace vidoria
