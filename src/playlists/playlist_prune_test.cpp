#include "playlists/playlist_prune.h"

#include <gtest/gtest.h>

#include "playlists/playlists_for_tests.h"

namespace vidoria {
namespace {

TEST(PrunePlaylistsTest, BlanksItemsNoLibraryRowHasIgnoringLetterCase) {
  const Table libraryTable = MakeTable({{"MOVIE", "/v/Holiday.mp4", "Holiday.mp4", "1:01:40"},
                                        {"TV", "/v/Été.mp4", "Été.mp4", "1:01:40"},
                                        {"", "", "", ""}});
  Table playlistTable = MakeTable({
      {"Favorites", "PAGE", "holiday.MP4", "Gone.mp4", "", "ÉTÉ.mp4"},
      {"Gone.mp4", "", "  ", "Holiday.mp4 ", "Holiday.mp4"},
  });
  PrunePlaylists(playlistTable, libraryTable);
  EXPECT_EQ(CellsOf(playlistTable), (Cells{
                                        {"Favorites", "PAGE", "holiday.MP4", "", "", "ÉTÉ.mp4"},
                                        {"Gone.mp4", "", "", "", "Holiday.mp4", ""},
                                    }));
}

TEST(PrunePlaylistsTest, AnEmptyLibraryEmptiesEveryPlaylist) {
  Table playlistTable = MakeTable({{"Favorites", "", "a.mp4", "b.mp4"}});
  PrunePlaylists(playlistTable, Table(4, 1));
  EXPECT_EQ(CellsOf(playlistTable), (Cells{{"Favorites", "", "", ""}}));
}

}  // namespace
}  // namespace vidoria
