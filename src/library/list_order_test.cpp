#include "library/list_order.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vidoria {
namespace {

TEST(ListOrderTest, IgnoresAsciiCaseThenBreaksTiesByBytes) {
  std::vector<std::string> texts{"b.mp4", "/Z/", "A.mp4", "é.mp4", "a.mp4", "/a/", "ab", "a"};
  SortLikeList(texts);
  EXPECT_EQ(texts, (std::vector<std::string>{"/a/", "/Z/", "a", "A.mp4", "a.mp4", "ab", "b.mp4",
                                             "é.mp4"}));
  EXPECT_FALSE(ListOrderLess("same", "same"));
  EXPECT_TRUE(ListOrderLess("Same", "same"));
  EXPECT_FALSE(ListOrderLess("same", "Same"));
}

}  // namespace
}  // namespace vidoria
