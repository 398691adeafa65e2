#include "app/player_status.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vidoria {
namespace {

struct StatusCase {
  const char* name;
  std::vector<std::string> lines;  // fed in order; the last one's status is checked
  const char* status;
  const char* title;
};

TEST(PlayerStatusTest, LinesGiveTitleAndPosition) {
  const StatusCase cases[] = {
      {"AudioClockBeforeVideoIsRoundedTime",
       {"Title: Holiday", "A:   5.3 V:   5.3 A-V:  0.000 ct:  0.000   0/  0 ??% ??% ??,?% 0 0"},
       "Holiday 0:00:05",
       "Holiday"},
      {"HalfSecondsRoundToEven", {"A:   6.5 V:   6.5 A-V:  0.000"}, "0:00:06", ""},
      {"LongPlaybackHasHoursWithoutLeadingZero", {"A:3725.6 V:3725.6 A-V: -0.001"}, "1:02:06", ""},
      {"VideoOnlyLineGivesEmptyPosition",
       {"Title:  Holiday  ", "V:  12.0   300/300  1%  2%  0.0% 0 0"},
       "Holiday",
       "Holiday"},
      {"LowerCaseTitleKeepsTheWholeLine",
       {"  title: Holiday "},
       "title: Holiday",
       "title: Holiday"},
      {"NameLineSetsTitle", {" name: Trip.mp4"}, "Trip.mp4", "Trip.mp4"},
      {"TitleRuleWinsOverName", {"Title: name: x"}, "name: x", "name: x"},
      {"LayerLineShowsTextBeforeIt",
       {"Title: Song", "  MPEG 1.0 Layer 3, 44100 Hz"},
       "Song MPEG 1.0",
       "Song"},
      {"LayerRuleWinsOverVideoClock", {"A: 1.0 V: 1.0 Layer"}, "A: 1.0 V: 1.0", ""},
      {"ClockThatIsNoNumberIsShownAsIs", {"A: ??? V: ???"}, "???", ""},
      {"NegativeClockCountsAsZero", {"A:  -0.2 V:  -0.2"}, "0:00:00", ""},
      {"UnknownLineKeepsTitleAndDropsPosition",
       {"Title: Holiday", "A:   5.3 V:   5.3", "Starting playback..."},
       "Holiday",
       "Holiday"},
  };
  for (const StatusCase& c : cases) {
    PlayerStatus status;
    status.Start();
    std::string shown;
    for (const std::string& line : c.lines) shown = status.Take(line);
    EXPECT_EQ(shown, c.status) << c.name;
    EXPECT_EQ(status.Title(), c.title) << c.name;
  }
}

TEST(PlayerStatusTest, StartEmptiesTheTitleOfThePreviousRun) {
  PlayerStatus status;
  status.Start();
  status.Take("Title: Holiday");
  status.Start();
  EXPECT_EQ(status.Take("A:   1.0 V:   1.0"), "0:00:01");
}

}  // namespace
}  // namespace vidoria
