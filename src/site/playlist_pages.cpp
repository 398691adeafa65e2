#include "site/playlist_pages.h"

#include <string_view>
#include <vector>

#include "site/item_line.h"
#include "site/list_files.h"
#include "site/markup.h"
#include "site/names.h"

namespace vidoria {

namespace {

constexpr int kNameColumn = 0;
constexpr int kPageColumn = 1;
constexpr int kFirstItemColumn = 2;
constexpr int kListFileColumn = 3;  // in playlists2

void StoreInRow(Table& table, int column, int row, std::string text) {
  if (table.ColCount() <= column) table.SetColCount(column + 1);
  table.SetCell(column, row, std::move(text));
}

}  // namespace

PlaylistPage PlaylistPageOf(const Table& playlists, int row, const LibraryByName& library,
                            const FileExists& exists) {
  const bool inTable = row >= 0 && row < playlists.RowCount();
  const std::string& name = playlists.Cell(kNameColumn, row);  // "" outside the table

  std::vector<std::string_view> items;
  for (int col = kFirstItemColumn; inTable && col < playlists.ColCount(); ++col) {
    const std::string& item = playlists.Cell(col, row);
    if (!item.empty()) items.push_back(item);
  }
  SortNames(items);

  PlaylistPage out;
  out.page = HeaderBlock();
  out.page += TitleBox("<a href=\"/\">Home</a> - <a href=\"/playlists.html\">Playlists</a> - " +
                       HtmlText(name));
  for (int libraryRow : JoinNames(items, library.rows)) {
    const std::string& fileName = library.myGrid.Cell(2, libraryRow);
    out.listFile += ListLine(name, fileName);
    if (exists(library.myGrid.Cell(1, libraryRow))) {
      out.page += ItemLine(library.myGrid.Cell(0, libraryRow), fileName);
    }
  }
  out.page += BackBox();
  out.page += FooterBlock();
  return out;
}

void GeneratePlayList(int row, Table& playlists, Table& playlists2, const LibraryByName& library,
                      const FileExists& exists, PageBuffers& pages) {
  if (playlists2.ColCount() <= kListFileColumn) playlists2.SetColCount(kListFileColumn + 1);
  playlists2.SetRowCount(playlists.RowCount());
  if (row >= 0 && row < playlists.RowCount()) {
    PlaylistPage out = PlaylistPageOf(playlists, row, library, exists);
    StoreInRow(playlists2, kListFileColumn, row, std::move(out.listFile));
    StoreInRow(playlists, kPageColumn, row, std::move(out.page));
  }
  pages.Set(page::kListList, ListOfLists(playlists));
}

void GeneratePlayList(int row, Table& playlists, Table& playlists2, const Table& myGrid,
                      const FileExists& exists, PageBuffers& pages) {
  GeneratePlayList(row, playlists, playlists2, LibraryByName(myGrid), exists, pages);
}

void GenerateEveryPlayList(Table& playlists, Table& playlists2, const Table& myGrid,
                           const FileExists& exists, PageBuffers& pages) {
  const LibraryByName library(myGrid);
  for (int row = 0; row < playlists.RowCount(); ++row) {
    GeneratePlayList(row, playlists, playlists2, library, exists, pages);
  }
}

}  // namespace vidoria
