// Pieces of file paths, as the program names them. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace vidoria {

// The extension in lower case, without the dot, surrounding spaces removed ("/v/Film.MP4" ->
// "mp4").
std::string ExtensionOf(std::string_view path);
// The last path element ("/v/Film.mp4" -> "Film.mp4").
std::string FileNameOf(std::string_view path);
// The folder with its trailing '/' ("/v/Film.mp4" -> "/v/"); "" for a bare name.
std::string FolderOf(std::string_view path);
// `folder` with a trailing '/' ensured ("" stays "").
std::string WithTrailingSlash(std::string folder);

}  // namespace vidoria
