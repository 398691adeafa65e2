// The entry box of one media file, as the collection and playlist pages list it.
#pragma once

#include <string>
#include <string_view>

#include "site/names.h"

namespace vidoria {

// The link of a media file as every page writes it: "/" + the name as one path segment. Other
// clients that must reach the same file the same way (the TV listing) take it from here.
std::string VideoHref(std::string_view fileName);
void AppendVideoHref(std::string& out, std::string_view fileName);
void AppendVideoHref(TextSize& out, std::string_view fileName);

// The link of the cover picture of a media file: "/" + the name with ".jpg" in place of its
// final ".mp4", which the server's picture lookup turns back into the video's name to find its
// folder. "" when no such link can lead back: the name does not end in ".mp4" (letter case
// counts), or holds ".jpg" elsewhere, which the lookup would also turn into ".mp4".
std::string CoverHref(std::string_view fileName);
// The name of the picture beside the video that CoverHref leads to first ("Name.jpg"), "" when
// CoverHref is "". The lookup falls back to "cover.jpg", then "folder.jpg" in the same folder.
std::string CoverPictureName(std::string_view fileName);

// The subtitles file beside a media file that TVs are offered ("Name.srt" for "Name.mp4"), and
// its link, which the server's subtitles lookup turns back into the video's name to find its
// folder. "" when no such link can lead back: the name does not end in ".mp4" (letter case counts)
// or holds ".mp4" or ".srt" elsewhere in any case (the server would take it for a video, or
// turn the wrong part back).
std::string SubtitlesName(std::string_view fileName);
std::string SubtitlesHref(std::string_view fileName);

// One line (ending in CR LF): an icon named after the class in lower case ("MOVIE" ->
// /kavra/movie.png) and the title (ItemTitle), both linking to "/" + file name with the media type
// video/mp4. Names are escaped and encoded as site/names.h says.
std::string ItemLine(std::string_view className, std::string_view fileName);
// ItemLine(className, fileName) appended to `out` (or counted).
void AppendItemLine(std::string& out, std::string_view className, std::string_view fileName);
void AppendItemLine(TextSize& out, std::string_view className, std::string_view fileName);

}  // namespace vidoria
