// Test helper: library rows written by hand, as a scan would have added them.
#pragma once

#include <string>

#include "library/table.h"
#include "library/table_layouts.h"

namespace vidoria {

// Fills the last row when it is unused (an empty library is one empty row), else adds one.
inline void AddLibraryRow(Table& library, const std::string& path, const std::string& name,
                          const std::string& cls = "MOVIE", const std::string& duration = "") {
  int row = library.RowCount() - 1;
  if (!library.Cell(LibraryColumn::kPath, row).empty()) {
    library.AddRow();
    ++row;
  }
  library.SetCell(LibraryColumn::kClass, row, cls);
  library.SetCell(LibraryColumn::kPath, row, path);
  library.SetCell(LibraryColumn::kName, row, name);
  library.SetCell(LibraryColumn::kDuration, row, duration);
}

}  // namespace vidoria
