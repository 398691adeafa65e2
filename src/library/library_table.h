// Operations on the library table (columns in library/table_layouts.h: class, full path, file
// name, duration). An empty library is one row of empty cells. Rows keep the order in which they
// were added.
//
// Plain functions on tables the caller owns; the program calls them on the main thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "library/activity_log.h"
#include "library/table.h"
#include "library/table_layouts.h"

namespace vidoria {

// Every new row gets this nominal length; the true length is never measured.
inline constexpr double kNominalSeconds = 3700;

// Whole seconds (halves to the even second) as "h:mm:ss", hours without fixed width
// (3700 -> "1:01:40", 36000 -> "10:00:00"). Negative, NaN and infinite values count as 0.
std::string SecondsToTime(double seconds);

// Adds one scanned file. A path already in the table (compared exactly, case-sensitive) changes
// nothing and shows nothing. Otherwise shows "<file name> (<position> of <count>)" and writes
// class, path, file name and the nominal duration into the last row when its path cell is empty,
// else into a new row. A table narrower than the layout is widened first.
void AddToLibrary(Table& libraryTable, std::string_view cls, std::string_view fullPath, int count,
                  int position, StatusBoard& status);
// AddToLibrary without its search for the path, for a caller that knows the path is new (a scan
// pass keeps an index of the library's paths, so that adding n files costs n, not n squared).
void AddNewToLibrary(Table& libraryTable, std::string_view cls, std::string_view fullPath,
                     int count, int position, StatusBoard& status);

// The desktop library list and its status line (" item" / " items" count).
struct ListResult {
  std::vector<std::string> items;
  std::string status;
};

// File names of the rows the filter selects, top to bottom: "_" every row with a class, otherwise
// the rows whose class equals the filter (so "" lists the unused rows).
ListResult LibraryList(const Table& libraryTable, std::string_view libraryFilter);

// The search field: a text of fewer than 2 characters lists every row (unused rows included);
// otherwise the rows whose " " + file name contains the text, ignoring letter case as the
// playlists do (FoldCase: "ÉTÉ" finds "été"), so a
// text starting with a space matches names from their start or after a space.
ListResult SearchLibrary(const Table& libraryTable, std::string_view text);

// "1 item", otherwise "<n> items".
std::string ItemCountStatus(size_t count);

// Removes every library row whose file name is one of `names` and empties every playlist slot
// holding one of them. Files on disk are not touched.
void RemoveFromLibrary(Table& libraryTable, Table& playlistTable,
                       const std::vector<std::string>& names);

}  // namespace vidoria
