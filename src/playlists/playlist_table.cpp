#include "playlists/playlist_table.h"

#include <set>

#include "playlists/case_fold.h"

namespace vidoria {

std::string UniquePlaylistName(const Table& playlists) {
  std::set<std::string> taken;
  for (int row = 0; row < playlists.RowCount(); ++row) {
    taken.insert(FoldCase(playlists.Cell(kPlaylistNameColumn, row)));
  }
  // No upper bound: a name that is already taken would make two playlists answer to one node,
  // and deleting either would delete both.
  for (long long n = 1;; ++n) {
    std::string name = "Playlist " + std::to_string(n);
    if (!taken.contains(FoldCase(name))) return name;
  }
}

int PlaylistRow(const Table& playlists, std::string_view name) {
  for (int row = playlists.RowCount() - 1; row > 0; --row) {
    if (playlists.Cell(kPlaylistNameColumn, row) == name) return row;
  }
  return 0;
}

bool BlankPlaylistRow(const Table& playlists, int row) {
  if (!playlists.Cell(kPlaylistNameColumn, row).empty()) return false;
  for (int col = kFirstSlotColumn; col < playlists.ColCount(); ++col) {
    if (!playlists.Cell(col, row).empty()) return false;
  }
  return true;
}

}  // namespace vidoria
