// Library or playlist entries dropped on the window's navigation tree. Main thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/table.h"
#include "playlists/regeneration.h"

namespace vidoria {

// The node under the drop point, as the window's tree knows it.
enum class DropNode {
  kNone,       // no node there
  kPlaylists,  // "PLAYLISTS"
  kPlaylist,   // a child of "PLAYLISTS"; its text is the playlist's name
  kMovies,     // "Movies" under "LIBRARY"
  kTvShows,    // "TV Shows" under "LIBRARY"
  kOther,      // any other node
};

// Sets the class of every library row whose file name is one of `items` (empty texts
// aside: they are the unused rows, which must stay unused). The library pages show the new class
// after their next generation.
void Reclassify(Table& libraryTable, const std::vector<std::string>& items, std::string_view cls);

// What a drop does, `selected` as in playlist_edit.h:
// - None, Playlists: CreatePlaylist; its name is returned for the window's new node;
// - Playlist: UpdatePlaylist(nodeText);
// - Movies / TvShows: Reclassify to "MOVIE" / "TV", then the current view is refreshed;
// - Other: nothing changes.
// In every case the playlists page is generated at the end. A drop with nothing selected creates
// an empty playlist or changes nothing.
std::optional<std::string> DropOnTree(DropNode node, std::string_view nodeText,
                                      Table& playlistTable, Table& libraryTable,
                                      const std::vector<std::string>& selected,
                                      const PlaylistRegeneration& regen);

}  // namespace vidoria
