#include "playlists/playlist_table.h"

#include <set>

#include "library/case_fold.h"

namespace vidoria {

std::string UniquePlaylistName(const Table& playlistTable) {
  std::set<std::string> taken;
  for (int row = 0; row < playlistTable.RowCount(); ++row) {
    taken.insert(FoldCase(playlistTable.Cell(PlaylistColumn::kName, row)));
  }
  // No upper bound: a name that is already taken would make two playlists answer to one node,
  // and deleting either would delete both.
  for (long long n = 1;; ++n) {
    std::string name = "Playlist " + std::to_string(n);
    if (!taken.contains(FoldCase(name))) return name;
  }
}

int PlaylistRow(const Table& playlistTable, std::string_view name) {
  for (int row = playlistTable.RowCount() - 1; row > 0; --row) {
    if (playlistTable.Cell(PlaylistColumn::kName, row) == name) return row;
  }
  return 0;
}

bool BlankPlaylistRow(const Table& playlistTable, int row) {
  if (!playlistTable.Cell(PlaylistColumn::kName, row).empty()) return false;
  for (int col = PlaylistColumn::kFirstSlot; col < playlistTable.ColCount(); ++col) {
    if (!playlistTable.Cell(col, row).empty()) return false;
  }
  return true;
}

}  // namespace vidoria
