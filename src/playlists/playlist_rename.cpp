#include "playlists/playlist_rename.h"

#include <algorithm>
#include <array>

#include "playlists/playlist_table.h"

namespace vidoria {
namespace {

// One list for both checks: a name that may be given may also be taken away again. (Refusing to
// rename a playlist called "Users" while allowing it as a new name would strand that playlist:
// its node opens the accounts panel, so it could be neither viewed, renamed nor deleted.)
constexpr std::array<std::string_view, 9> kReserved = {"LIBRARY",  "Music",     "Movies",
                                                       "TV Shows", "Advanced",  "CONVERSION",
                                                       "List",     "PLAYLISTS", "STREAMING"};

}  // namespace

bool ReservedPlaylistName(std::string_view name) {
  return std::find(kReserved.begin(), kReserved.end(), name) != kReserved.end();
}

RenameOutcome RenamePlaylist(Table& playlistTable, std::string_view oldName,
                             std::string_view newName, const PlaylistRegeneration& regen) {
  if (!RenamablePlaylist(oldName)) return RenameOutcome::kNotRenamable;
  if (ReservedPlaylistName(newName)) return RenameOutcome::kReserved;
  if (newName.empty()) return RenameOutcome::kEmpty;
  if (newName.find_first_of("\r\n") != std::string_view::npos) return RenameOutcome::kLineBreak;
  // Two playlists of one name answer to one node: deleting either would delete both.
  for (int row = 0; row < playlistTable.RowCount(); ++row) {
    const std::string& name = playlistTable.Cell(PlaylistColumn::kName, row);
    if (name == newName && name != oldName) return RenameOutcome::kTaken;
  }
  for (int row = 0; row < playlistTable.RowCount(); ++row) {
    if (playlistTable.Cell(PlaylistColumn::kName, row) == oldName) {
      playlistTable.SetCell(PlaylistColumn::kName, row, std::string(newName));
    }
  }
  regen.GeneratePlayLists();
  return RenameOutcome::kRenamed;
}

}  // namespace vidoria
