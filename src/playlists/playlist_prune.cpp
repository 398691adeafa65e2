#include "playlists/playlist_prune.h"

#include <set>
#include <string>

#include "library/case_fold.h"
#include "library/library_table.h"
#include "playlists/playlist_table.h"

namespace vidoria {

void PrunePlaylists(Table& playlistTable, const Table& libraryTable) {
  std::set<std::string> known;
  for (int row = 0; row < libraryTable.RowCount(); ++row) {
    known.insert(FoldCase(libraryTable.Cell(LibraryColumn::kName, row)));
  }
  for (int row = 0; row < playlistTable.RowCount(); ++row) {
    for (int col = PlaylistColumn::kFirstSlot; col < playlistTable.ColCount(); ++col) {
      const std::string& item = playlistTable.Cell(col, row);
      if (!item.empty() && !known.contains(FoldCase(item))) playlistTable.SetCell(col, row, {});
    }
  }
}

}  // namespace vidoria
