#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/process_runner_command_line.h"

namespace vidoria {
namespace {

using Parts = std::vector<std::string>;

TEST(CommandLineTest, QuotesEachPartAndReadsBack) {
  const struct {
    Parts parts;
    const char* line;
  } cases[] = {
      {{"/opt/vidoria/faststart", "/v/My Films/qfsTemp.mp4", "/v/My Films/Holiday.mp4"},
       R"("/opt/vidoria/faststart" "/v/My Films/qfsTemp.mp4" "/v/My Films/Holiday.mp4")"},
      {{"/data/mplayer", "-v", "/v/a.mp4"}, R"("/data/mplayer" "-v" "/v/a.mp4")"},
      {{"tool", ""}, R"("tool" "")"},
      {{}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildCommandLine(c.parts), c.line);
    EXPECT_EQ(SplitCommandLine(c.line), c.parts) << c.line;
  }
}

TEST(CommandLineTest, SplitsHandWrittenLines) {
  const struct {
    const char* line;
    Parts parts;
  } cases[] = {
      {"  mplayer   -v  \"/v/a b.mp4\" ", {"mplayer", "-v", "/v/a b.mp4"}},
      {"\"a b\"c d", {"a bc", "d"}},
      {"\"unclosed part", {"unclosed part"}},
      {"   ", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.parts) << c.line;
}

}  // namespace
}  // namespace vidoria
