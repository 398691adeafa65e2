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

RenameOutcome RenamePlaylist(Table& playlists, std::string_view oldName, std::string_view newName,
                             const PlaylistRegeneration& regen) {
  if (!RenamablePlaylist(oldName)) return RenameOutcome::NotRenamable;
  if (ReservedPlaylistName(newName)) return RenameOutcome::Reserved;
  if (newName.empty()) return RenameOutcome::Empty;
  if (newName.find_first_of("\r\n") != std::string_view::npos) return RenameOutcome::LineBreak;
  // Two playlists of one name answer to one node: deleting either would delete both.
  for (int row = 0; row < playlists.RowCount(); ++row) {
    const std::string& name = playlists.Cell(kPlaylistNameColumn, row);
    if (name == newName && name != oldName) return RenameOutcome::Taken;
  }
  for (int row = 0; row < playlists.RowCount(); ++row) {
    if (playlists.Cell(kPlaylistNameColumn, row) == oldName) {
      playlists.SetCell(kPlaylistNameColumn, row, std::string(newName));
    }
  }
  regen.GeneratePlayLists();
  return RenameOutcome::Renamed;
}

}  // namespace vidoria
