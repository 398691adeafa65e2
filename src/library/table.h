// A grid of text cells: the shape of every table the program keeps (library, playlists, users).
//
// A value type: copies are independent, so the engine can publish a copy as an immutable snapshot
// for request threads while the main thread goes on changing its own. Not synchronised; one
// thread changes a given Table.
#pragma once

#include <string>
#include <vector>

namespace vidoria {

class Table {
 public:
  Table() : Table(1, 1) {}
  // Counts below 1 become 1; every cell starts empty.
  explicit Table(int cols, int rows = 1);

  int ColCount() const { return cols_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // Below 1 gives 1. Growing adds empty cells; shrinking drops the cells beyond the new count.
  void SetColCount(int cols);
  void SetRowCount(int rows);

  // "" for a cell outside the counts. Inline: the page generators read every cell of large tables.
  const std::string& Cell(int col, int row) const {
    if (col < 0 || col >= cols_ || row < 0 || row >= RowCount()) return kOutside;
    return rows_[static_cast<size_t>(row)][static_cast<size_t>(col)];
  }
  // A cell outside the counts is ignored; the table never grows by itself.
  void SetCell(int col, int row, std::string text);

  void AddRow();  // an empty row at the bottom
  // Drops the row, the rows below moving up by one; ignored outside the counts or when it is the
  // only row (a table always has one).
  void RemoveRow(int row);

  bool operator==(const Table&) const = default;

 private:
  inline static const std::string kOutside;
  int cols_;
  std::vector<std::vector<std::string>> rows_;  // rows_[row][col], every row cols_ long
};

// Deletes one row as the program's lists do: the only row of a table is emptied rather than
// removed; otherwise the rows below move up by one. A row outside the counts is ignored.
void DeleteGridRow(Table& table, int row);

}  // namespace vidoria
