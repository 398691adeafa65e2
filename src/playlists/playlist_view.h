// The playlist list `myPlaylist` of the desktop playlist view. Main thread only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "library/library_table.h"
#include "library/table.h"

namespace vidoria {

// The items to show and the status line ("1 item" / "<n> items") to show and
// log. An empty name (the node "PLAYLISTS") lists every non-empty slot of every row, row by row,
// duplicates included; a name lists the non-empty slots of every row with exactly that name. The
// window empties and hides both of its lists, fills this one, makes item 0 current and selected,
// and shows them again.
ListResult PlaylistViewItems(const Table& playlistTable, std::string_view name);

// "<n> items selected", for a click in the list.
std::string SelectedItemsStatus(size_t count);

}  // namespace vidoria
