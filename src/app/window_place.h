// Where the window was and how wide its tree: kept across runs in a small file of the data
// folder ("window.kavra", one line "x y width height treeWidth maximized" and CR LF).
#pragma once

#include <QRect>
#include <QString>
#include <optional>

namespace vidoria {

inline constexpr const char* kWindowPlaceFileName = "window.kavra";

struct WindowPlace {
  QRect frame;  // the normal (not maximized) geometry
  int treeWidth = 0;
  bool maximized = false;
};

// Main thread (screens are asked). Nullopt when the file is missing or damaged, or when the
// place lies on no screen this session has (a monitor unplugged since): the window then opens
// at its first-start size, centred.
std::optional<WindowPlace> ReadWindowPlace(const QString& dataFolder);
// Written atomically; a failure is returned as its message (the place is a convenience, the
// caller only logs it).
std::optional<QString> WriteWindowPlace(const QString& dataFolder, const WindowPlace& place);

// The stored line, and back; nullopt for a line that is not one (exposed for tests).
QString WindowPlaceLine(const WindowPlace& place);
std::optional<WindowPlace> ParseWindowPlace(const QString& line);

}  // namespace vidoria
