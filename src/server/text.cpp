#include "server/text.h"

#include <algorithm>

namespace vidoria {

namespace {
char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
bool Blank(char c) {
  return static_cast<unsigned char>(c) < 33;
}
}  // namespace

std::string_view TrimControl(std::string_view text) {
  while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), Upper);
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Upper(x) == Upper(y); });
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace vidoria
