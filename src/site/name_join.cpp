#include "site/name_join.h"

#include <algorithm>
#include <cstdint>

namespace vidoria {

namespace {

// The first eight bytes of a text as one number, bytes in order and zeros after a short text's
// end, so that two texts whose heads differ compare as their heads do. Comparing heads settles
// most comparisons of a sort without following the texts' pointers.
uint64_t Head(std::string_view text) {
  uint64_t head = 0;
  const size_t n = std::min<size_t>(text.size(), 8);
  for (size_t i = 0; i < n; ++i)
    head |= uint64_t{static_cast<unsigned char>(text[i])} << (56 - 8 * i);
  return head;
}

// The head of a text with ASCII letters folded to lower case, as the list order compares them.
uint64_t FoldedHead(std::string_view text) {
  uint64_t head = 0;
  const size_t n = std::min<size_t>(text.size(), 8);
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    head |= uint64_t{c} << (56 - 8 * i);
  }
  return head;
}

}  // namespace

RowsByName::RowsByName(const Table& table, int column) {
  const size_t count = static_cast<size_t>(table.RowCount());
  keys_.reserve(count);
  for (int row = 0; row < table.RowCount(); ++row) {
    const std::string& text = table.Cell(column, row);
    keys_.push_back(Key{Head(text), text, row});
  }
  std::sort(keys_.begin(), keys_.end(), [](const Key& a, const Key& b) {
    if (a.head != b.head) return a.head < b.head;
    const int byName = a.text.compare(b.text);
    return byName != 0 ? byName < 0 : a.row < b.row;
  });
  rows_.reserve(count);
  for (const Key& key : keys_) rows_.push_back(key.row);
}

std::span<const int> RowsByName::Rows(std::string_view name) const {
  const uint64_t head = Head(name);
  auto before = [](const Key& key, const std::pair<uint64_t, std::string_view>& wanted) {
    return key.head != wanted.first ? key.head < wanted.first : key.text < wanted.second;
  };
  auto after = [](const std::pair<uint64_t, std::string_view>& wanted, const Key& key) {
    return key.head != wanted.first ? wanted.first < key.head : wanted.second < key.text;
  };
  const std::pair<uint64_t, std::string_view> wanted{head, name};
  const auto first = std::lower_bound(keys_.begin(), keys_.end(), wanted, before);
  const auto last = std::upper_bound(first, keys_.end(), wanted, after);
  return {rows_.data() + (first - keys_.begin()), rows_.data() + (last - keys_.begin())};
}

void SortNames(std::vector<std::string_view>& names) {
  // ListOrderLess would fold both names again in every comparison; here each name is folded once
  // and the sort compares (folded, name) pairs as bytes, which is the same order.
  std::string folded;
  size_t total = 0;
  for (std::string_view name : names) total += name.size();
  folded.reserve(total);
  for (std::string_view name : names) {
    for (char c : name) folded += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  struct Key {
    uint64_t head;
    std::string_view folded;
    std::string_view name;
  };
  std::vector<Key> keys;
  keys.reserve(names.size());
  size_t at = 0;
  for (std::string_view name : names) {
    const std::string_view foldedName(folded.data() + at, name.size());
    keys.push_back(Key{FoldedHead(name), foldedName, name});
    at += name.size();
  }
  // Equal names are the same bytes, so their relative order cannot show; std::sort is enough.
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.head != b.head) return a.head < b.head;
    const int byFolded = a.folded.compare(b.folded);
    return byFolded != 0 ? byFolded < 0 : a.name < b.name;
  });
  for (size_t i = 0; i < keys.size(); ++i) names[i] = keys[i].name;
}

std::vector<int> JoinNames(const std::vector<std::string_view>& sortedNames,
                           const RowsByName& rows) {
  std::vector<int> joined;
  joined.reserve(sortedNames.size());
  std::span<const int> named;
  for (size_t i = 0; i < sortedNames.size(); ++i) {
    // A name repeated in the list (rows sharing it) is looked up once.
    if (i == 0 || sortedNames[i] != sortedNames[i - 1]) named = rows.Rows(sortedNames[i]);
    joined.insert(joined.end(), named.begin(), named.end());
  }
  return joined;
}

}  // namespace vidoria
