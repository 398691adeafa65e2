#include "library/case_fold.h"

namespace vidoria {
namespace {

// Every capital handled here and its small letter lie below U+0800, so both are written with two
// bytes and folding never changes a name's length.
char32_t Lower(char32_t c) {
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;  // À..Þ, not ×
  if (c == 0x178) return 0xFF;                               // Ÿ
  if (c >= 0x100 && c <= 0x17F) {
    // Capitals come first in each pair, on even code points except where the unpaired ĸ and Ÿ
    // shift them to odd ones (Ĺ..Ň, Ź..Ž).
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return c % 2 == (oddCapitals ? 1u : 0u) ? c + 1 : c;
  }
  if (c == 0x386) return 0x3AC;                                 // Ά
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;                // Έ Ή Ί
  if (c == 0x38C) return 0x3CC;                                 // Ό
  if (c == 0x38E || c == 0x38F) return c + 0x3F;                // Ύ Ώ
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;  // Α..Ϋ
  if (c == 0x3C2) return 0x3C3;                                 // final sigma reads as sigma
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;                // Ѐ..Џ
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // А..Я
  return c;
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string folded(text);
  for (size_t i = 0; i < folded.size(); ++i) {
    const auto lead = static_cast<unsigned char>(folded[i]);
    if (lead >= 'A' && lead <= 'Z') {
      folded[i] = static_cast<char>(lead - 'A' + 'a');
      continue;
    }
    // Only well-formed two-byte sequences hold letters we fold; anything else is copied.
    if (lead < 0xC2 || lead > 0xDF || i + 1 >= folded.size()) continue;
    const auto next = static_cast<unsigned char>(folded[i + 1]);
    if ((next & 0xC0) != 0x80) continue;
    const char32_t lower = Lower((char32_t{lead} & 0x1F) << 6 | (next & 0x3F));
    folded[i] = static_cast<char>(0xC0 | lower >> 6);
    folded[i + 1] = static_cast<char>(0x80 | (lower & 0x3F));
    ++i;
  }
  return folded;
}

}  // namespace vidoria
