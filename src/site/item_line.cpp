#include "site/item_line.h"

#include "site/markup.h"
#include "site/names.h"

namespace vidoria {

namespace {

std::string AsciiLowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace

std::string ItemLine(std::string_view className, std::string_view fileName) {
  const std::string href = PathSegment(fileName);
  std::string line(kEntryStart);
  line += '/';
  line += href;
  line += "\" type=\"video/mp4\"><img src=\"/kavra/";
  line += PathSegment(AsciiLowerCase(className));
  line += ".png\"></a></td><td><a href=\"/";
  line += href;
  line += "\" type=\"video/mp4\">";
  line += HtmlText(ItemTitle(fileName));
  line += "</a>";
  line += kEntryEnd;
  line += kCrLf;
  return line;
}

}  // namespace vidoria
