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
  // One pass: the first byte that differs without case decides, then the length, then the bytes.
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const unsigned char x = Folded(a[i]);
    const unsigned char y = Folded(b[i]);
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

void SortLikeList(std::vector<std::string>& texts) {
  std::sort(texts.begin(), texts.end(),
            [](const std::string& a, const std::string& b) { return ListOrderLess(a, b); });
}

}  // namespace vidoria
