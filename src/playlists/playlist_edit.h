// Putting library entries into playlists and taking them out again.
//
// `selected` is always what the window's two lists have selected at that moment: the selected
// items of the library list in list order, then those of the playlist list in list order (only
// one of the two holds items at a time). Check marks do not count here. Main thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "library/table.h"
#include "playlists/regeneration.h"

namespace vidoria {

// Creates a playlist named UniquePlaylistName, holding the selected entries, and returns its name
// for the window's new node under "PLAYLISTS". It takes the last row when that row is blank (no
// name, no items: a deleted "Favorites" that was the only row), else a new row at the bottom.
// Generates: the new row's page after each item (see UpdatePlaylist), then once more.
std::string CreatePlaylist(Table& playlistTable, const std::vector<std::string>& selected,
                           const PlaylistRegeneration& regen);

// Adds the selected entries to the playlist row PlaylistRow(name), each into the lowest empty
// slot; an entry the row already holds, an empty text and a text with a line break are skipped.
// With no empty slot left the table grows by one column. Generates that row's page after each entry
// added.
void UpdatePlaylist(Table& playlistTable, std::string_view name,
                    const std::vector<std::string>& selected, const PlaylistRegeneration& regen);

// "Remove from playlist." with a playlist's node selected: every slot of every row with that name
// that holds one of `items` (the checked or selected items of the playlist list) is emptied. The
// slots stay where they are; later ones do not move up, and the next addition fills the gap.
// Generates: the playlists page, every row's page in row order, then the library list (which
// empties the window's lists, as the playlist view is filtered on nothing).
void RemoveFromPlaylist(Table& playlistTable, std::string_view name,
                        const std::vector<std::string>& items, const PlaylistRegeneration& regen);

// The same with the node "PLAYLISTS" selected: the items leave every playlist.
void RemoveFromEveryPlaylist(Table& playlistTable, const std::vector<std::string>& items,
                             const PlaylistRegeneration& regen);

}  // namespace vidoria
