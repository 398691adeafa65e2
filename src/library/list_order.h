// The order in which the program's lists show paths and names: ASCII letters compared without
// case, ties (texts differing only in case) broken by byte order so the order is total and does
// not depend on the locale. Bytes of UTF-8 sequences compare as unsigned values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vidoria {

bool ListOrderLess(std::string_view a, std::string_view b);
void SortLikeList(std::vector<std::string>& texts);

}  // namespace vidoria
