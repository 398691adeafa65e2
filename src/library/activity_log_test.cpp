#include "library/activity_log.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vidoria {
namespace {

// Each request for a video adds lines; a server left running must not keep every one of them.
// Lines of many lengths (one longer than a block of kept text, one empty) come back whole and in
// order, and the listener hears of every one, kept or not.
TEST(ActivityLogTest, KeepsTheNewestLinesWholeAndTellsTheListenerOfEach) {
  ActivityLog log([] { return "t"; });
  std::vector<std::string> told;
  log.SetListener([&](const std::string& line) { told.push_back(line); });
  std::vector<std::string> added;
  for (size_t i = 0; i < ActivityLog::kKeptLines + 700; ++i) {
    std::string text = "line " + std::to_string(i) + std::string(i % 9 * 40, 'x');
    if (i == 5000) text = std::string(100000, 'L');
    if (i == 5001) text.clear();
    log.Add(text);
    added.push_back("t : " + text);
    if (i == 20) {
      EXPECT_EQ(log.Lines(), added) << "fewer than kept";
    }
  }
  EXPECT_EQ(told, added);
  const std::vector<std::string> newest(added.end() - ActivityLog::kKeptLines, added.end());
  EXPECT_EQ(log.Lines(), newest);
}

}  // namespace
}  // namespace vidoria
