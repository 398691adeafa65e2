#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/process_runner_output.h"

namespace vidoria {
namespace {

using Lines = std::vector<std::string>;

// Feeds `output` in pieces of `piece` bytes, then ends it.
Lines Split(const std::string& output, size_t piece) {
  OutputLines splitter;
  Lines lines;
  for (size_t at = 0; at < output.size(); at += piece) {
    splitter.Feed(std::string_view(output).substr(at, piece), lines);
  }
  splitter.Finish(lines);
  return lines;
}

TEST(OutputLinesTest, SplitsAtCrLfAndCrLfHoweverTheOutputArrives) {
  const struct {
    const char* output;
    Lines lines;
  } cases[] = {
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},  // LF CR is two ends
      {"last line without end", {"last line without end"}},
      {"", {}},
      // A player's progress stream: each status overwrites the last on a console.
      {"Playing Holiday.mp4.\nA:   0.1 V:   0.1 \rA:   0.2 V:   0.2 \rA:   0.3 V:   0.3 \r\n"
       "Exiting... (End of file)\n",
       {"Playing Holiday.mp4.", "A:   0.1 V:   0.1 ", "A:   0.2 V:   0.2 ", "A:   0.3 V:   0.3 ",
        "Exiting... (End of file)"}},
  };
  for (const auto& c : cases) {
    for (const size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{4096}}) {
      EXPECT_EQ(Split(c.output, piece), c.lines) << c.output << " in pieces of " << piece;
    }
  }
}

TEST(OutputLinesTest, DropsTerminalControlSequences) {
  const struct {
    const char* output;
    Lines lines;
  } cases[] = {
      {"A: 5.3 \x1b[J\r", {"A: 5.3 "}},
      {"\x1b[1;31mred\x1b[0m text\n", {"red text"}},
      {"\x1b]0;window title\x07shown\n", {"shown"}},
      {"\x1b]0;title\x1b\\shown\n", {"shown"}},
      {"\x1b(Bplain\x1b"
       "7x\n",
       {"plainx"}},
      {"cut \x1b[12\nnext\n", {"cut ", "next"}},  // a sequence cut off by a line end
      {"tab\tand \x01 stay\n", {"tab\tand \x01 stay"}},
  };
  for (const auto& c : cases) {
    for (const size_t piece : {size_t{1}, size_t{4096}}) {
      EXPECT_EQ(Split(c.output, piece), c.lines) << c.output << " in pieces of " << piece;
    }
  }
}

// A player that prints megabytes without a line break: its output comes out in bounded pieces,
// nothing lost, and the line after the break is its own.
TEST(OutputLinesTest, EndlessLineComesOutInBoundedPieces) {
  const std::string endless(3 * OutputLines::kMaxLineBytes + 10, 'x');
  const Lines lines = Split(endless + "\nnext\n", 1000);
  ASSERT_EQ(lines.size(), 5u);
  std::string joined;
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_LE(lines[i].size(), OutputLines::kMaxLineBytes);
    joined += lines[i];
  }
  EXPECT_EQ(joined, endless);
  EXPECT_EQ(lines[4], "next");
}

}  // namespace
}  // namespace vidoria
