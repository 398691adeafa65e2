// The page listing the playlists.
#pragma once

#include <string>

#include "library/table.h"
#include "site/page_buffers.h"

namespace vidoria {

// Header block, title box Home - Playlists, one entry per row of `playlists` in row order whose
// name is not empty and that has at least one item slot that is not
// blank, Back box, footer block. Each entry shows the playlist icon and the name, both linking to
// "/list&" + name. A playlist named like one of the collections ("library", "movies", "music",
// "tvshows") is listed too, although the server answers that path with the collection: hiding a
// playlist the user made would be more surprising than a link that needs a rename. Pure.
std::string PlaylistsPage(const Table& playlistTable);
// Whether the playlists page lists the playlist in `row`: a name that is not empty and at least
// one item slot that is not blank.
bool ListedOnPlaylistsPage(const Table& playlistTable, int row);

// Stores PlaylistsPage into page::kPlaylists. Main thread; status texts are the caller's part.
void GeneratePlayLists(const Table& playlistTable, PageBuffers& pages);

}  // namespace vidoria
