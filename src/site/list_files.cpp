#include "site/list_files.h"

#include "library/table_layouts.h"
#include "site/markup.h"
#include "site/names.h"

namespace vidoria {

std::string ListLine(std::string_view listName, std::string_view fileName) {
  std::string line = "/";
  line += ListLineListName(listName);
  line += '*';
  line += ListLineName(fileName);
  line += kCrLf;
  return line;
}

std::string ListOfLists(const Table& playlistTable) {
  std::string text;
  for (std::string_view fixed : {"library", "movies", "tvshows"}) {
    text += "/list.txt&";
    text += fixed;
    text += kCrLf;
  }
  for (int row = 0; row < playlistTable.RowCount(); ++row) {
    text += "/list.txt&";
    text += ListLineName(playlistTable.Cell(PlaylistColumn::kName, row));
    text += kCrLf;
  }
  return text;
}

}  // namespace vidoria
