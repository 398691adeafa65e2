#include "playlists/playlist_view.h"

#include <gtest/gtest.h>

#include "playlists/playlist_table.h"
#include "playlists/playlists_for_tests.h"

namespace vidoria {
namespace {

using Names = std::vector<std::string>;

TEST(PlaylistViewItemsTest, ListsTheSlotsOfANameOrOfEveryPlaylist) {
  const Table playlistTable = MakeTable({{"Favorites", "PAGE", "b.mp4", "", "a.mp4"},
                                         {"Mine", "", "", "a.mp4"},
                                         {"Mine", "", "c.mp4", " "},
                                         {"Empty"}});
  struct Case {
    const char* name;
    Names items;
    const char* status;
  };
  for (const Case& c : {
           Case{"", {"b.mp4", "a.mp4", "a.mp4", "c.mp4", " "}, "5 items"},
           Case{"Favorites", {"b.mp4", "a.mp4"}, "2 items"},
           Case{"Mine", {"a.mp4", "c.mp4", " "}, "3 items"},
           Case{"Empty", {}, "0 items"},
           Case{"mine", {}, "0 items"},
       }) {
    const ListResult result = PlaylistViewItems(playlistTable, c.name);
    EXPECT_EQ(result.items, c.items) << c.name;
    EXPECT_EQ(result.status, c.status) << c.name;
  }
  EXPECT_EQ(PlaylistViewItems(MakeTable({{"One", "", "x.mp4"}}), "One").status, "1 item");
}

}  // namespace
}  // namespace vidoria
