#include "site/item_line.h"

#include "site/markup.h"

namespace vidoria {

namespace {

template <typename Out>
void WriteItemLine(Out& out, std::string_view className, std::string_view fileName) {
  out += kEntryStart;
  out += '/';
  AppendPathSegment(out, fileName);
  out += "\" type=\"video/mp4\"><img src=\"/kavra/";
  // The class in ASCII lower case; short, so the string holds it without an allocation.
  std::string lower(className);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  AppendPathSegment(out, lower);
  out += ".png\"></a></td><td><a href=\"/";
  AppendPathSegment(out, fileName);
  out += "\" type=\"video/mp4\">";
  AppendHtmlText(out, ItemTitle(fileName));
  out += "</a>";
  out += kEntryEnd;
  out += kCrLf;
}

}  // namespace

void AppendItemLine(std::string& out, std::string_view className, std::string_view fileName) {
  WriteItemLine(out, className, fileName);
}

void AppendItemLine(TextSize& out, std::string_view className, std::string_view fileName) {
  WriteItemLine(out, className, fileName);
}

std::string ItemLine(std::string_view className, std::string_view fileName) {
  std::string line;
  AppendItemLine(line, className, fileName);
  return line;
}

}  // namespace vidoria
