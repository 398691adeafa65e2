#include "playlists/playlist_prune.h"

#include <set>
#include <string>

#include "library/library_table.h"
#include "playlists/case_fold.h"
#include "playlists/playlist_table.h"

namespace vidoria {

void PrunePlaylists(Table& playlists, const Table& myGrid) {
  std::set<std::string> known;
  for (int row = 0; row < myGrid.RowCount(); ++row) {
    known.insert(FoldCase(myGrid.Cell(NameColumn, row)));
  }
  for (int row = 0; row < playlists.RowCount(); ++row) {
    for (int col = kFirstSlotColumn; col < playlists.ColCount(); ++col) {
      const std::string& item = playlists.Cell(col, row);
      if (!item.empty() && !known.contains(FoldCase(item))) playlists.SetCell(col, row, {});
    }
  }
}

}  // namespace vidoria
