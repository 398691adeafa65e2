// The plain-text list files: one media path per line, and the list of those files.
#pragma once

#include <string>
#include <string_view>

#include "library/table.h"
#include "site/names.h"

namespace vidoria {

// One line of a list file, "/" + list name + "*" + file name + CR LF (names as ListLineName and
// ListLineListName write them). The server serves the file named after the first '*'.
std::string ListLine(std::string_view listName, std::string_view fileName);
// The part every line of one list file shares: "/" + list name + "*".
std::string ListLinePrefix(std::string_view listName);
// ListLine appended to `out` (or counted), given the list's ListLinePrefix.
void AppendListLine(std::string& out, std::string_view prefix, std::string_view fileName);
void AppendListLine(TextSize& out, std::string_view prefix, std::string_view fileName);

// The list of lists: "/list.txt&library", "/list.txt&movies", "/list.txt&tvshows", then
// "/list.txt&" + the name of every row of `playlistTable` in row order, rows with an empty
// name included; each line ends in CR LF.
std::string ListOfLists(const Table& playlistTable);

}  // namespace vidoria
