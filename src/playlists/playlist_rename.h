// Renaming a playlist (double-click on its node). Main thread only.
#pragma once

#include <string_view>

#include "library/table.h"
#include "playlists/regeneration.h"

namespace vidoria {

// Titles of the window's sections and panels, compared exactly (letter case significant). A
// playlist is never renamed to one of them, and a playlist node titled like one opens no rename
// box. Other section titles ("Streaming", "Log", "Users", ...) are allowed: clicking such a
// playlist then shows that section, and the playlist can still be renamed back.
bool ReservedPlaylistName(std::string_view name);

// Whether a double-click on this child of "PLAYLISTS" opens the rename box.
inline bool RenamablePlaylist(std::string_view nodeText) {
  return !ReservedPlaylistName(nodeText);
}

enum class RenameOutcome {
  kRenamed,       // the node and the playlist view's title bar show the new name
  kNotRenamable,  // the old name is reserved: nothing happens
  kReserved,      // the new name is reserved: nothing changes
  kEmpty,         // refused: a nameless playlist is missing from the playlists page
  kTaken,         // refused: another playlist has that name
  kLineBreak,     // refused: the playlist file cannot hold the name
};

// Gives every row named exactly `oldName` the name `newName` (the box's text; cancelling gives the
// old name back, which renames nothing but still regenerates) and generates the playlists page.
// The playlist's own page and list file keep the old name until that playlist is generated again.
// Only the Renamed outcome changes anything.
RenameOutcome RenamePlaylist(Table& playlistTable, std::string_view oldName,
                             std::string_view newName, const PlaylistRegeneration& regen);

}  // namespace vidoria
