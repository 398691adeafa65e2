// Test helpers: tables written as rows of cells, and hooks that record what they were asked to
// generate.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "library/table.h"
#include "playlists/regeneration.h"

namespace vidoria {

using Cells = std::vector<std::vector<std::string>>;  // rows of cells, left to right

// A table as wide as its longest row (at least `minCols`); short rows end in empty cells.
inline Table MakeTable(const Cells& rows, int minCols = 1) {
  int cols = minCols;
  for (const auto& row : rows) cols = std::max(cols, static_cast<int>(row.size()));
  Table table(cols, static_cast<int>(rows.size()));
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      table.SetCell(static_cast<int>(c), static_cast<int>(r), rows[r][c]);
    }
  }
  return table;
}

inline Cells CellsOf(const Table& table) {
  Cells rows(table.RowCount());
  for (int r = 0; r < table.RowCount(); ++r) {
    for (int c = 0; c < table.ColCount(); ++c) rows[r].push_back(table.Cell(c, r));
  }
  return rows;
}

// Records the calls as "page <row>", "playlists", "view" and "library".
class RegenerationRecorder {
 public:
  PlaylistRegeneration Hooks() {
    return {
        .playlist = [this](int row) { calls.push_back("page " + std::to_string(row)); },
        .playlistsPage = [this] { calls.push_back("playlists"); },
        .currentView = [this] { calls.push_back("view"); },
        .libraryList = [this] { calls.push_back("library"); },
    };
  }
  std::vector<std::string> calls;
};

}  // namespace vidoria
