// Whole numbers as the settings file and the cipher key write them.
#pragma once

#include <optional>
#include <string_view>

namespace vidoria {

// An optional sign and decimal digits that fit in 32 bits, surrounding blanks ignored; nullopt
// for anything else ("", "12abc", "0x10", "99999999999").
std::optional<int> WholeNumber(std::string_view text);

}  // namespace vidoria
