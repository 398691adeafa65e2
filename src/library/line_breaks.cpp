#include "library/line_breaks.h"

namespace vidoria {

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string Printable(std::string_view text) {
  std::string printable;
  printable.reserve(text.size());
  for (const char c : text) {
    if (c == '\r') {
      printable += "\\r";
    } else if (c == '\n') {
      printable += "\\n";
    } else {
      printable += c;
    }
  }
  return printable;
}

}  // namespace vidoria
