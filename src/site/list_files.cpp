#include "site/list_files.h"

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

std::string ListOfLists(const Table& playlists) {
  std::string text;
  for (std::string_view fixed : {"library", "movies", "tvshows"}) {
    text += "/list.txt&";
    text += fixed;
    text += kCrLf;
  }
  for (int row = 0; row < playlists.RowCount(); ++row) {
    text += "/list.txt&";
    text += ListLineName(playlists.Cell(0, row));
    text += kCrLf;
  }
  return text;
}

}  // namespace vidoria
