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
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      // Other control bytes (a NUL above all, which would end the text where a C string is
      // expected) are shown by their code, so a message names exactly what it found.
      static constexpr char kHex[] = "0123456789abcdef";
      printable += "\\x";
      printable += kHex[(c >> 4) & 0xf];
      printable += kHex[c & 0xf];
    } else {
      printable += c;
    }
  }
  return printable;
}

}  // namespace vidoria
