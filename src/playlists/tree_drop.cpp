#include "playlists/tree_drop.h"

#include <set>

#include "library/library_table.h"
#include "playlists/playlist_edit.h"

namespace vidoria {

void Reclassify(Table& myGrid, const std::vector<std::string>& items, std::string_view cls) {
  const std::set<std::string> names(items.begin(), items.end());
  for (int row = 0; row < myGrid.RowCount(); ++row) {
    const std::string& name = myGrid.Cell(NameColumn, row);
    if (!name.empty() && names.contains(name)) myGrid.SetCell(ClassColumn, row, std::string(cls));
  }
}

std::optional<std::string> DropOnTree(DropNode node, std::string_view nodeText, Table& playlists,
                                      Table& myGrid, const std::vector<std::string>& selected,
                                      const PlaylistRegeneration& regen) {
  std::optional<std::string> created;
  switch (node) {
    case DropNode::None:
    case DropNode::Playlists:
      created = createnewplaylist(playlists, selected, regen);
      break;
    case DropNode::Playlist:
      updateplaylist(playlists, nodeText, selected, regen);
      break;
    case DropNode::Movies:
    case DropNode::TvShows:
      Reclassify(myGrid, selected, node == DropNode::Movies ? "MOVIE" : "TV");
      regen.RefreshView();
      break;
    case DropNode::Other:
      break;
  }
  regen.GeneratePlayLists();
  return created;
}

}  // namespace vidoria
