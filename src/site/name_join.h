// Joining the sorted name list against the library table.
//
// Pages and list files list, for each entry of the sorted name list in order, every library row
// whose file name equals that entry exactly (letter case significant), in table order. Walking
// the table once per entry costs n * m; here the rows are sorted by name once, and each entry
// finds its rows by binary search, for the same sequence of rows.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "library/table.h"

namespace vidoria {

// The rows of a table ordered by the text of one column. Keeps views of the table's cells: valid
// while the table lives and is not changed. Cost O(n log n) to build, O(log n) per lookup.
class RowsByName {
 public:
  RowsByName(const Table& table, int column);

  // The rows whose cell equals `name` exactly, in table order.
  std::span<const int> Rows(std::string_view name) const;

 private:
  struct Key {
    uint64_t head;          // the text's first eight bytes, for quick comparisons
    std::string_view text;  // the cell
    int row;
  };
  std::vector<Key> keys_;  // every row, sorted by (cell text as bytes, row)
  std::vector<int> rows_;  // the rows of keys_ in the same order, for the spans Rows returns
};

// Sorts names into the order of the sorted name list (library/list_order.h: ASCII letters
// without case, ties by bytes, other bytes by value). Equal names are all kept.
void SortNames(std::vector<std::string_view>& names);

// For each name of `sortedNames` in order, the rows named exactly so, in table order. Names that
// occur several times yield their rows each time (two rows sharing a name, both in the list,
// give four entries).
std::vector<int> JoinNames(const std::vector<std::string_view>& sortedNames,
                           const RowsByName& rows);

}  // namespace vidoria
