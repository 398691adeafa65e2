#include "library/list_order.h"

#include <algorithm>

namespace vidoria {
namespace {

unsigned char Folded(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

}  // namespace

bool ListOrderLess(std::string_view a, std::string_view b) {
  const bool less = std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return Folded(x) < Folded(y); });
  const bool greater = std::lexicographical_compare(
      b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) { return Folded(x) < Folded(y); });
  if (less || greater) return less;
  return a < b;
}

void SortLikeList(std::vector<std::string>& texts) {
  std::sort(texts.begin(), texts.end(),
            [](const std::string& a, const std::string& b) { return ListOrderLess(a, b); });
}

}  // namespace vidoria
