// The generated pages and list files, kept in memory and served whole.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace vidoria {

// Each buffer is replaced and read as a whole: a reader gets the old text or the new one, never a
// mixture. Written by the main thread (and the login page by request threads), read by request
// threads; every member is thread-safe.
class PageBuffers {
 public:
  using Text = std::shared_ptr<const std::string>;

  void Set(std::string_view name, std::string text);
  // The buffer's text; an empty text for a buffer never set.
  Text Get(std::string_view name) const;

 private:
  mutable std::mutex mu_;  // guards buffers_; the texts themselves are immutable
  std::map<std::string, Text, std::less<>> buffers_;
};

// The names of the buffers.
namespace page {
inline constexpr std::string_view kIndex = "indexhtml";
inline constexpr std::string_view kLibraryMenu = "libraryHTML";
inline constexpr std::string_view kPlaylists = "playlistsHTML";
inline constexpr std::string_view kLibrary = "libHTML";
inline constexpr std::string_view kMovies = "movieHTML";
inline constexpr std::string_view kTvShows = "tvshowsHTML";
inline constexpr std::string_view kMusic = "musicHTML";
inline constexpr std::string_view kLibraryList = "librarylist";
inline constexpr std::string_view kMoviesList = "movieslist";
inline constexpr std::string_view kTvShowsList = "tvshowslist";
inline constexpr std::string_view kMusicList = "musiclist";
inline constexpr std::string_view kListList = "listlist";
inline constexpr std::string_view kLogin = "loginhtml";
}  // namespace page

}  // namespace vidoria
