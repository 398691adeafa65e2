#include "library/table.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace vidoria {

Table::Table(int cols, int rows) : cols_(std::max(cols, 1)) {
  rows_.assign(std::max(rows, 1), std::vector<std::string>(cols_));
}

void Table::SetColCount(int cols) {
  cols_ = std::max(cols, 1);
  for (auto& row : rows_) row.resize(cols_);
}

void Table::SetRowCount(int rows) {
  rows_.resize(std::max(rows, 1), std::vector<std::string>(cols_));
}

void Table::SetCell(int col, int row, std::string text) {
  if (col < 0 || col >= cols_ || row < 0 || row >= RowCount()) return;
  rows_[row][col] = std::move(text);
}

void Table::AddRow() {
  rows_.emplace_back(cols_);
}

void Table::RemoveRow(int row) {
  if (row < 0 || row >= RowCount() || RowCount() == 1) return;
  rows_.erase(rows_.begin() + row);
  assert(!rows_.empty());
}

void DeleteGridRow(Table& table, int row) {
  if (row < 0 || row >= table.RowCount()) return;
  if (table.RowCount() == 1) {
    for (int col = 0; col < table.ColCount(); ++col) table.SetCell(col, 0, {});
    return;
  }
  table.RemoveRow(row);
}

}  // namespace vidoria
