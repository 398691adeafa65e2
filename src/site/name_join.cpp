#include "site/name_join.h"

#include <algorithm>

#include "library/list_order.h"

namespace vidoria {

RowsByName::RowsByName(const Table& table, int column) : table_(&table), column_(column) {
  order_.resize(static_cast<size_t>(table.RowCount()));
  for (int row = 0; row < table.RowCount(); ++row) order_[static_cast<size_t>(row)] = row;
  std::sort(order_.begin(), order_.end(), [this](int a, int b) {
    const int byName = table_->Cell(column_, a).compare(table_->Cell(column_, b));
    return byName != 0 ? byName < 0 : a < b;
  });
}

std::span<const int> RowsByName::Rows(std::string_view name) const {
  struct ByName {
    const RowsByName* self;
    std::string_view Text(int row) const { return self->table_->Cell(self->column_, row); }
    bool operator()(int row, std::string_view name) const { return Text(row) < name; }
    bool operator()(std::string_view name, int row) const { return name < Text(row); }
  };
  const auto [first, last] = std::equal_range(order_.begin(), order_.end(), name, ByName{this});
  return {first, last};
}

void SortNames(std::vector<std::string_view>& names) {
  // Equal names are the same bytes, so their relative order cannot show; std::sort is enough.
  std::sort(names.begin(), names.end(), ListOrderLess);
}

std::vector<int> JoinNames(const std::vector<std::string_view>& sortedNames,
                           const RowsByName& rows) {
  std::vector<int> joined;
  joined.reserve(sortedNames.size());
  for (std::string_view name : sortedNames) {
    const std::span<const int> named = rows.Rows(name);
    joined.insert(joined.end(), named.begin(), named.end());
  }
  return joined;
}

}  // namespace vidoria
