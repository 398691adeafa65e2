#include <chrono>
#include <vector>

#include <gtest/gtest.h>

#include "engine/process_setup.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;

// Ticks of (seconds since start, the server's activity count) and the seconds at which free
// memory was released.
TEST(QuietMemoryReleaseTest, ReleasesOnceAfterEachQuietSpellThatFollowsWork) {
  struct Tick {
    int second;
    uint64_t activity;
  };
  struct Case {
    const char* name;
    std::vector<Tick> ticks;
    std::vector<int> releases;
  };
  const Case cases[] = {
      {"never any work", {{0, 0}, {30, 0}, {60, 0}}, {}},
      {"work, then quiet", {{0, 5}, {9, 5}, {10, 5}, {11, 5}, {40, 5}}, {10}},
      {"work that goes on postpones it", {{0, 5}, {8, 6}, {16, 7}, {20, 7}, {26, 7}}, {26}},
      {"each burst its own release",
       {{0, 5}, {10, 5}, {12, 9}, {21, 9}, {22, 9}, {50, 9}},
       {10, 22}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto start = QuietMemoryRelease::Clock::time_point{} + 1h;
    std::vector<int> releases;
    int now = 0;
    QuietMemoryRelease release([&] { releases.push_back(now); });
    for (const Tick& tick : c.ticks) {
      now = tick.second;
      release.Tick(start + std::chrono::seconds(tick.second), tick.activity);
    }
    EXPECT_EQ(releases, c.releases);
  }
}

}  // namespace
}  // namespace vidoria
