// Comparing names "without regard to letter case" as a user reads them, not only in ASCII: a
// playlist item "été.mp4" still names the library file "Été.mp4".
#pragma once

#include <string>
#include <string_view>

namespace vidoria {

// `text` (UTF-8) with its capital letters lowered: ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic. Other characters, and bytes that are not valid UTF-8, are kept as they are. Pure.
std::string FoldCase(std::string_view text);

inline bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  return FoldCase(a) == FoldCase(b);
}

}  // namespace vidoria
