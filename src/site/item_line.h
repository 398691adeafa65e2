// The entry box of one media file, as the collection and playlist pages list it.
#pragma once

#include <string>
#include <string_view>

#include "site/names.h"

namespace vidoria {

// One line (ending in CR LF): an icon named after the class in lower case ("MOVIE" ->
// /kavra/movie.png) and the title (ItemTitle), both linking to "/" + file name with the media type
// video/mp4. Names are escaped and encoded as site/names.h says.
std::string ItemLine(std::string_view className, std::string_view fileName);
// ItemLine(className, fileName) appended to `out` (or counted).
void AppendItemLine(std::string& out, std::string_view className, std::string_view fileName);
void AppendItemLine(TextSize& out, std::string_view className, std::string_view fileName);

}  // namespace vidoria
