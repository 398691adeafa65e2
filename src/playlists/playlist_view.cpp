#include "playlists/playlist_view.h"

#include <utility>
#include <vector>

#include "playlists/playlist_table.h"

namespace vidoria {

ListResult PlaylistViewItems(const Table& playlistTable, std::string_view name) {
  std::vector<std::string> items;
  for (int row = 0; row < playlistTable.RowCount(); ++row) {
    if (!name.empty() && playlistTable.Cell(PlaylistColumn::kName, row) != name) continue;
    for (int col = PlaylistColumn::kFirstSlot; col < playlistTable.ColCount(); ++col) {
      const std::string& item = playlistTable.Cell(col, row);
      if (!item.empty()) items.push_back(item);
    }
  }
  ListResult result{std::move(items), {}};
  result.status = ItemCountStatus(result.items.size());
  return result;
}

std::string SelectedItemsStatus(size_t count) {
  return std::to_string(count) + " items selected";
}

}  // namespace vidoria
