#include "library/case_fold.h"

#include <gtest/gtest.h>

namespace vidoria {
namespace {

TEST(FoldCaseTest, LowersCapitalsOfEuropeanScriptsAndKeepsEverythingElse) {
  struct Case {
    const char* text;
    const char* folded;
  };
  for (const Case& c : {
           Case{"Holiday.MP4", "holiday.mp4"},
           Case{"ÉTÉ À LA MER.mp4", "été à la mer.mp4"},
           Case{"ÞÆØ × Ÿ", "þæø × ÿ"},
           Case{"ĀĮĲĶ ĸ ĹŇ ŉ ŊŶ ŹŽ ı İ", "āįĳķ ĸ ĺň ŉ ŋŷ źž ı İ"},
           Case{"ΣΟΦΊΑ Ώ ς", "σοφία ώ σ"},
           Case{"ПРИВЕТ ЁЖ Ѐ", "привет ёж ѐ"},
           Case{"日本 ☃", "日本 ☃"},
           // Bytes that are no UTF-8 letter survive unchanged, including a cut-off sequence.
           Case{"A\xFF\xC3", "a\xFF\xC3"},
           Case{"\xC3Z", "\xC3z"},
       }) {
    EXPECT_EQ(FoldCase(c.text), c.folded) << c.text;
  }
}

}  // namespace
}  // namespace vidoria
