#include "playlists/playlist_delete.h"

#include "playlists/playlist_table.h"

namespace vidoria {
namespace {

void EmptyRow(Table& table, int row) {
  for (int col = 0; col < table.ColCount(); ++col) table.SetCell(col, row, {});
}

}  // namespace

bool DeletePlaylist(Table& playlistTable, Table& listFileTable, std::string_view name,
                    const PlaylistRegeneration& regen) {
  bool found = false;
  // Bottom up, so that removing a row never moves an unvisited one into the visited part.
  for (int row = playlistTable.RowCount() - 1; row >= 0; --row) {
    if (playlistTable.Cell(PlaylistColumn::kName, row) != name) continue;
    found = true;
    if (row == 0) {
      EmptyRow(playlistTable, 0);
      // The empty-named row is still in the list of lists; it must not serve the deleted
      // playlist's list file.
      EmptyRow(listFileTable, 0);
    } else {
      DeleteGridRow(playlistTable, row);
      DeleteGridRow(listFileTable, row);  // ignored when that row was never generated
    }
  }
  if (found) regen.GeneratePlayLists();
  return found;
}

}  // namespace vidoria
