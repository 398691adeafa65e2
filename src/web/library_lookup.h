// Finding the folder of a video or a cover picture that a request names only by file name.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "web/library_view.h"

namespace vidoria {

struct LibraryLookup {
  std::string folder;  // LibraryFolder: the folder to serve from, ending in '/'; "" when unknown
  std::string name;    // LibraryName: the file to map under that folder
};

// What the lookups need of their surroundings.
struct LookupContext {
  const LibraryView& view;
  std::string programFolder;                           // holds kavra/blank.jpg
  std::function<bool(const std::string&)> fileExists;  // a regular file at this path
  std::function<void(const std::string&)> activity;    // AddToLog
};

// "/movies*My%20Movie.mp4" -> the folder of the lowest library row named "My Movie.mp4". Names
// are percent-decoded as UTF-8; slashes are dropped, not treated as folders.
void LookUpVideo(std::string_view fileName, const LookupContext& context, LibraryLookup& result);

// Subtitles named after a video ("Name.srt" beside "Name.mp4"): the folder of the lowest library
// row named "Name.mp4", and nothing for a name no listed video leads to.
void LookUpSubtitles(std::string_view fileName, const LookupContext& context,
                     LibraryLookup& result);

// A picture named after a video ("Name.jpg" beside "Name.mp4"), or a fixed picture behind a
// playlist name ("/Favorites/folder.jpg"), with the fallbacks cover.jpg, folder.jpg and the
// program's blank picture.
void LookUpImage(std::string_view fileName, const LookupContext& context, LibraryLookup& result);

}  // namespace vidoria
