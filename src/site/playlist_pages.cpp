#include "site/playlist_pages.h"

#include <string_view>
#include <vector>

#include "site/item_line.h"
#include "site/list_files.h"
#include "site/markup.h"
#include "site/names.h"

namespace vidoria {

namespace {

void StoreInRow(Table& table, int column, int row, std::string text) {
  if (table.ColCount() <= column) table.SetColCount(column + 1);
  table.SetCell(column, row, std::move(text));
}

}  // namespace

std::vector<int> PlaylistRows(const Table& playlistTable, int row, const LibraryByName& library) {
  const bool inTable = row >= 0 && row < playlistTable.RowCount();
  std::vector<std::string_view> items;
  for (int col = PlaylistColumn::kFirstSlot; inTable && col < playlistTable.ColCount(); ++col) {
    const std::string& item = playlistTable.Cell(col, row);
    if (!item.empty()) items.push_back(item);
  }
  SortNames(items);
  return JoinNames(items, library.rows);
}

PlaylistPage PlaylistPageOf(const Table& playlistTable, int row, const LibraryByName& library,
                            const FileExists& exists) {
  const std::string& name = playlistTable.Cell(PlaylistColumn::kName, row);  // "" outside the table

  PlaylistPage out;
  out.page = HeaderBlock();
  out.page += TitleBox("<a href=\"/\">Home</a> - <a href=\"/playlists.html\">Playlists</a> - " +
                       HtmlText(name));
  const std::string listPrefix = ListLinePrefix(name);
  for (int libraryRow : PlaylistRows(playlistTable, row, library)) {
    const std::string& fileName = library.table.Cell(LibraryColumn::kName, libraryRow);
    AppendListLine(out.listFile, listPrefix, fileName);
    if (exists(library.table.Cell(LibraryColumn::kPath, libraryRow))) {
      AppendItemLine(out.page, library.table.Cell(LibraryColumn::kClass, libraryRow), fileName);
    }
  }
  out.page += BackBox();
  out.page += FooterBlock();
  return out;
}

void GeneratePlayList(int row, Table& playlistTable, Table& listFileTable,
                      const LibraryByName& library, const FileExists& exists, PageBuffers& pages) {
  if (listFileTable.ColCount() < ListFileColumn::kCount)
    listFileTable.SetColCount(ListFileColumn::kCount);
  listFileTable.SetRowCount(playlistTable.RowCount());
  if (row >= 0 && row < playlistTable.RowCount()) {
    PlaylistPage out = PlaylistPageOf(playlistTable, row, library, exists);
    StoreInRow(listFileTable, ListFileColumn::kListFile, row, std::move(out.listFile));
    StoreInRow(playlistTable, PlaylistColumn::kPage, row, std::move(out.page));
  }
  pages.Set(page::kListList, ListOfLists(playlistTable));
}

void GeneratePlayList(int row, Table& playlistTable, Table& listFileTable,
                      const Table& libraryTable, const FileExists& exists, PageBuffers& pages) {
  GeneratePlayList(row, playlistTable, listFileTable, LibraryByName(libraryTable), exists, pages);
}

void GenerateEveryPlayList(Table& playlistTable, Table& listFileTable, const Table& libraryTable,
                           const FileExists& exists, PageBuffers& pages) {
  const LibraryByName library(libraryTable);
  for (int row = 0; row < playlistTable.RowCount(); ++row) {
    GeneratePlayList(row, playlistTable, listFileTable, library, exists, pages);
  }
}

}  // namespace vidoria
