#include "playlists/tree_drop.h"

#include <set>

#include "library/library_table.h"
#include "playlists/playlist_edit.h"

namespace vidoria {

void Reclassify(Table& libraryTable, const std::vector<std::string>& items, std::string_view cls) {
  const std::set<std::string> names(items.begin(), items.end());
  for (int row = 0; row < libraryTable.RowCount(); ++row) {
    const std::string& name = libraryTable.Cell(LibraryColumn::kName, row);
    if (!name.empty() && names.contains(name))
      libraryTable.SetCell(LibraryColumn::kClass, row, std::string(cls));
  }
}

std::optional<std::string> DropOnTree(DropNode node, std::string_view nodeText,
                                      Table& playlistTable, Table& libraryTable,
                                      const std::vector<std::string>& selected,
                                      const PlaylistRegeneration& regen) {
  std::optional<std::string> created;
  switch (node) {
    case DropNode::kNone:
    case DropNode::kPlaylists:
      created = CreatePlaylist(playlistTable, selected, regen);
      break;
    case DropNode::kPlaylist:
      UpdatePlaylist(playlistTable, nodeText, selected, regen);
      break;
    case DropNode::kMovies:
    case DropNode::kTvShows:
      Reclassify(libraryTable, selected, node == DropNode::kMovies ? "MOVIE" : "TV");
      regen.RefreshView();
      break;
    case DropNode::kOther:
      break;
  }
  regen.GeneratePlayLists();
  return created;
}

}  // namespace vidoria
