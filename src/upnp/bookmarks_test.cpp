#include "upnp/bookmarks.h"

#include <gtest/gtest.h>

#include "platform/temp_folder_for_tests.h"

namespace vidoria {
namespace {

TEST(BookmarksTest, KeptPerVideoAcrossARestartAndForgottenAtZero) {
  TempFolder folder;
  const std::string file = folder.Path() + std::string(kBookmarksFileName);
  {
    Bookmarks marks(file);
    EXPECT_EQ(marks.Get("/v/a b.mp4"), 0u);
    EXPECT_FALSE(marks.Set("/v/a b.mp4", 95));
    EXPECT_FALSE(marks.Set("/v/c.mp4", 12));
    EXPECT_FALSE(marks.Set("/v/c.mp4", 30));
    EXPECT_FALSE(marks.Set("/v/gone.mp4", 7));
    EXPECT_FALSE(marks.Set("/v/gone.mp4", 0));
    EXPECT_TRUE(marks.Set("/v/line\nbreak.mp4", 5)) << "no stored line can hold it";
  }
  EXPECT_EQ(TempFolder::Read(file), "95 /v/a b.mp4\r\n30 /v/c.mp4\r\n");
  const Bookmarks again(file);
  EXPECT_EQ(again.Get("/v/a b.mp4"), 95u);
  EXPECT_EQ(again.Get("/v/c.mp4"), 30u);
  EXPECT_EQ(again.Get("/v/gone.mp4"), 0u);
}

TEST(BookmarksTest, LinesThatDoNotReadAreLeftOut) {
  TempFolder folder;
  const std::string file = folder.Write("bookmarks.kavra",
                                        "10 /v/a.mp4\r\nten /v/b.mp4\r\n20\r\n0 /v/c.mp4\r\n"
                                        "99999999999 /v/d.mp4\r\n\r\n30 /v/e.mp4");
  const Bookmarks marks(file);
  EXPECT_EQ(marks.Get("/v/a.mp4"), 10u);
  EXPECT_EQ(marks.Get("/v/e.mp4"), 30u);
  for (const char* video : {"/v/b.mp4", "/v/c.mp4", "/v/d.mp4"}) EXPECT_EQ(marks.Get(video), 0u);
  EXPECT_EQ(Bookmarks(folder.Path() + "missing.kavra").Get("/v/a.mp4"), 0u);
}

}  // namespace
}  // namespace vidoria
