// Command lines of external tools as the window shows them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vidoria {

// Each part in double quotes, joined by single spaces: "\"/opt/faststart\" \"/v/a b.mp4\"".
// Parts are not escaped, so a part holding a double quote does not read back the same; the
// tools are started from their parts, never from this text.
std::string BuildCommandLine(const std::vector<std::string>& parts);

// The parts of such a line: blanks separate parts outside double quotes; the quotes themselves
// are dropped ("\"a b\"c" is the one part "a bc"; "\"\"" is one empty part).
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace vidoria
