// Small ASCII text helpers shared by the HTTP code.
#pragma once

#include <string>
#include <string_view>

namespace vidoria {

// Removes leading and trailing characters below 33 (spaces and control characters).
std::string_view TrimControl(std::string_view text);
std::string UpperCase(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);

}  // namespace vidoria
