#include "app/player_status.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vidoria {
namespace {

struct StatusCase {
  const char* name;
  std::vector<std::string> lines;  // fed in order
  const char* status;              // the status text afterwards
  const char* title;
  bool lastIsStatus;  // the last line was one the status is made of
};

TEST(PlayerStatusTest, LinesGiveTitleAndPosition) {
  const StatusCase cases[] = {
      {"AudioClockIsRoundedTime",
       {"Title: Holiday", "A:   5.3 V:   5.3 A-V:  0.000 ct:  0.000   0/  0 ??% ??% ??,?% 0 0"},
       "Holiday 0:00:05",
       "Holiday",
       true},
      {"HalfSecondsRoundToEven", {"A:   6.5 V:   6.5 A-V:  0.000"}, "0:00:06", "", true},
      {"LongPlaybackHasHoursWithoutLeadingZero",
       {"A:3725.6 V:3725.6 A-V: -0.001"},
       "1:02:06",
       "",
       true},
      {"VideoOnlyLineGivesTheVideoClock",
       {"Title:  Holiday  ", "V:  12.0   300/300  1%  2%  0.0% 0 0"},
       "Holiday 0:00:12",
       "Holiday",
       true},
      {"AudioOnlyLineGivesTheAudioClock",
       {"A:   7.4 (07.3) of 200.0 (03:20.0)  0.5%"},
       "0:00:07",
       "",
       true},
      {"ClipInfoTitleField", {"  title: Holiday "}, "Holiday", "Holiday", true},
      {"NameFieldSetsTitle", {" name: Trip.mp4"}, "Trip.mp4", "Trip.mp4", true},
      {"TitleFieldKeepsAColonInItsValue", {"Title: name: x"}, "name: x", "name: x", true},
      {"PlayingLineNamesTheFile",
       {"Playing /home/ann/Videos/Trip 2.mp4."},
       "Trip 2.mp4",
       "Trip 2.mp4",
       true},
      {"ClipTitleFollowsTheFileName",
       {"Playing /v/a.mp4.", " title: Holiday", "A:   1.0 V:   1.0"},
       "Holiday 0:00:01",
       "Holiday",
       true},
      {"CpuVendorNameIsNoTitle",
       {"Playing /v/a.mp4.", "CPU vendor name: GenuineIntel  max cpuid level: 36"},
       "a.mp4",
       "a.mp4",
       false},
      {"AudioDetailsAreNoPosition",
       {"Title: Song", "  MPEG 1.0 Layer 3, 44100 Hz"},
       "Song",
       "Song",
       false},
      {"ClockThatIsNoNumberIsShownAsIs", {"A: ??? V: ???"}, "???", "", true},
      {"NegativeClockCountsAsZero", {"A:  -0.2 V:  -0.2"}, "0:00:00", "", true},
      {"OtherLineKeepsTitleAndPosition",
       {"Title: Holiday", "A:   5.3 V:   5.3", "Starting playback..."},
       "Holiday 0:00:05",
       "Holiday",
       false},
  };
  for (const StatusCase& c : cases) {
    PlayerStatus status;
    status.Start();
    bool lastIsStatus = false;
    for (const std::string& line : c.lines) lastIsStatus = status.Take(line);
    EXPECT_EQ(status.Text(), c.status) << c.name;
    EXPECT_EQ(status.Title(), c.title) << c.name;
    EXPECT_EQ(lastIsStatus, c.lastIsStatus) << c.name;
  }
}

TEST(PlayerStatusTest, StartEmptiesTheTitleOfThePreviousRun) {
  PlayerStatus status;
  status.Start();
  status.Take("Title: Holiday");
  status.Start();
  EXPECT_TRUE(status.Take("A:   1.0 V:   1.0"));
  EXPECT_EQ(status.Text(), "0:00:01");
}

}  // namespace
}  // namespace vidoria
