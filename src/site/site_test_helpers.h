// Test helpers: page texts written line by line, and tables filled from rows of cells.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "library/table.h"
#include "site/file_exists.h"

namespace vidoria::testing {

// The lines joined, each ended by CR LF, as pages hold them.
inline std::string CrLfLines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

// A table with one row per entry of `rows`, wide enough for the longest (at least `minCols`).
inline Table TableOf(const std::vector<std::vector<std::string>>& rows, int minCols = 4) {
  int cols = minCols;
  for (const auto& row : rows) cols = std::max(cols, static_cast<int>(row.size()));
  Table table(cols, static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    for (int c = 0; c < static_cast<int>(rows[r].size()); ++c) table.SetCell(c, r, rows[r][c]);
  }
  return table;
}

// Only these paths exist.
inline FileExists ExistingOnly(std::set<std::string> paths) {
  return [paths = std::move(paths)](const std::string& path) { return paths.contains(path); };
}

// Every file a row names exists; an empty path names none.
inline bool AllExist(const std::string& path) {
  return !path.empty();
}

}  // namespace vidoria::testing
