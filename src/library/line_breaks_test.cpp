#include "library/line_breaks.h"

#include <gtest/gtest.h>

#include <string>

namespace vidoria {
namespace {

TEST(PrintableTest, ControlBytesAreNamedSoTheMessageStaysOneWholeLine) {
  const struct {
    std::string text, shown;
  } cases[] = {
      {"plain name.mp4", "plain name.mp4"},
      {"a\r\nb", "a\\r\\nb"},
      {std::string("pass\0word", 9), "pass\\x00word"},
      {"tab\there\x7f", "tab\\x09here\\x7f"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},  // letters beyond ASCII stay as they are
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Printable(c.text), c.shown);
    EXPECT_FALSE(HasLineBreak(Printable(c.text)));
  }
}

}  // namespace
}  // namespace vidoria
