#include "site/list_files.h"

#include "library/table_layouts.h"
#include "site/markup.h"
#include "site/names.h"

namespace vidoria {

std::string ListLinePrefix(std::string_view listName) {
  std::string prefix = "/";
  prefix += ListLineListName(listName);
  prefix += '*';
  return prefix;
}

namespace {

template <typename Out>
void WriteListLine(Out& out, std::string_view prefix, std::string_view fileName) {
  out += prefix;
  AppendListLineName(out, fileName);
  out += kCrLf;
}

}  // namespace

void AppendListLine(std::string& out, std::string_view prefix, std::string_view fileName) {
  WriteListLine(out, prefix, fileName);
}

void AppendListLine(TextSize& out, std::string_view prefix, std::string_view fileName) {
  WriteListLine(out, prefix, fileName);
}

std::string ListLine(std::string_view listName, std::string_view fileName) {
  std::string line;
  AppendListLine(line, ListLinePrefix(listName), fileName);
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
