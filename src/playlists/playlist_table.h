// The playlist table `playlists`: one row per playlist,
//   0 name, 1 the playlist's generated page (while the program runs; blanked before storing),
//   2.. item slots, each a library file name (column 2 of myGrid) or empty; gaps are allowed.
// All rows share the column count: 4 in a fresh table, one more whenever a playlist needs a slot
// and has none free, never fewer. Row 0 is "Favorites" on a fresh installation. The hidden table
// `playlists2` follows its rows (column 3 holds each playlist's list file).
//
// The tree of the window shows one node per row, titled with the name; names are how the window
// and the web site find a playlist. Plain functions on tables the caller owns; main thread only.
#pragma once

#include <string>
#include <string_view>

#include "library/table.h"

namespace vidoria {

inline constexpr int kPlaylistColumns = 4;
inline constexpr int kPlaylistNameColumn = 0;
inline constexpr int kPlaylistPageColumn = 1;
inline constexpr int kFirstSlotColumn = 2;
inline constexpr std::string_view kFavorites = "Favorites";

// "Playlist <N>" for the smallest N from 1 whose name no row has, ignoring letter case (so a row
// named "playlist 3" takes 3 as well).
std::string UniquePlaylistName(const Table& playlists);

// The row a playlist name stands for when items are added: the last row with exactly that name,
// row 0 when there is none.
int PlaylistRow(const Table& playlists, std::string_view name);

// True when the row has no name and no item: a row the next new playlist may take.
bool BlankPlaylistRow(const Table& playlists, int row);

}  // namespace vidoria
