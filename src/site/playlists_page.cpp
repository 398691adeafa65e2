#include "site/playlists_page.h"

#include <string_view>

#include "library/table_layouts.h"
#include "site/markup.h"
#include "site/names.h"

namespace vidoria {

namespace {

// Blanks are spaces and control characters, as the desktop side trims names.
bool Blank(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) > ' ') return false;
  }
  return true;
}

bool HasItems(const Table& playlistTable, int row) {
  for (int col = PlaylistColumn::kFirstSlot; col < playlistTable.ColCount(); ++col) {
    if (!Blank(playlistTable.Cell(col, row))) return true;
  }
  return false;
}

std::string Entry(std::string_view name) {
  const std::string href = ListHref(name);
  std::string line(kEntryStart);
  line += "/list&";
  line += href;
  line += "\" ><img src=\"/kavra/playlist.png\"></a></td><td><a href=\"/list&";
  line += href;
  line += "\">";
  line += HtmlText(name);
  line += "</a>";
  line += kEntryEnd;
  line += kCrLf;
  return line;
}

}  // namespace

std::string PlaylistsPage(const Table& playlistTable) {
  std::string page = HeaderBlock();
  page += TitleBox("<a href=\"/\">Home</a> - Playlists");
  for (int row = 0; row < playlistTable.RowCount(); ++row) {
    const std::string& name = playlistTable.Cell(PlaylistColumn::kName, row);
    if (ListedOnPlaylistsPage(playlistTable, row)) page += Entry(name);
  }
  page += BackBox();
  page += FooterBlock();
  return page;
}

bool ListedOnPlaylistsPage(const Table& playlistTable, int row) {
  return row >= 0 && row < playlistTable.RowCount() &&
         !playlistTable.Cell(PlaylistColumn::kName, row).empty() && HasItems(playlistTable, row);
}

void GeneratePlayLists(const Table& playlistTable, PageBuffers& pages) {
  pages.Set(page::kPlaylists, PlaylistsPage(playlistTable));
}

}  // namespace vidoria
