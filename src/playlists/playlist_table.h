// The playlist table: one row per playlist (name, generated page, item slots; the columns are in
// library/table_layouts.h). Row 0 is "Favorites" on a fresh installation. The playlist list-file
// table follows its rows, holding each playlist's list file.
//
// The tree of the window shows one node per row, titled with the name; names are how the window
// and the web site find a playlist. Plain functions on tables the caller owns; main thread only.
#pragma once

#include <string>
#include <string_view>

#include "library/table.h"
#include "library/table_layouts.h"

namespace vidoria {

inline constexpr std::string_view kFavorites = "Favorites";

// "Playlist <N>" for the smallest N from 1 whose name no row has, ignoring letter case (so a row
// named "playlist 3" takes 3 as well).
std::string UniquePlaylistName(const Table& playlistTable);

// The row a playlist name stands for when items are added: the last row with exactly that name,
// row 0 when there is none.
int PlaylistRow(const Table& playlistTable, std::string_view name);

// True when the row has no name and no item: a row the next new playlist may take.
bool BlankPlaylistRow(const Table& playlistTable, int row);

}  // namespace vidoria
