// "Remove selected playlist.": deleting a playlist by its node's name. Main thread only.
#pragma once

#include <string_view>

#include "library/table.h"
#include "playlists/regeneration.h"

namespace vidoria {

// Deletes every row named exactly `name`. Any row but row 0 is removed from `playlists` and, at
// the same position, from `listFileTable`, so every remaining playlist keeps its own list file;
// row 0 ("Favorites" on a fresh installation) stays, with every cell of both tables emptied.
// When a row matched: generates the playlists page and returns true, and the window removes the
// node (once). Either way the window then selects "PLAYLISTS" and runs its click action.
bool DeletePlaylist(Table& playlistTable, Table& listFileTable, std::string_view name,
                    const PlaylistRegeneration& regen);

}  // namespace vidoria
