#include "playlists/playlist_table.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "playlists/playlists_for_tests.h"

namespace vidoria {
namespace {

Table Named(const std::vector<std::string>& names) {
  Cells rows;
  for (const std::string& name : names) rows.push_back({name});
  return MakeTable(rows, PlaylistColumn::kCount);
}

TEST(UniquePlaylistNameTest, TakesTheFirstNumberNoPlaylistHasInAnyCase) {
  struct Case {
    std::vector<std::string> names;
    const char* unique;
  };
  for (const Case& c : {
           Case{{"Favorites"}, "Playlist 1"},
           Case{{"Favorites", "Playlist 1"}, "Playlist 2"},
           Case{{"Favorites", "Playlist 1", "Playlist 2", "playlist 3"}, "Playlist 4"},
           Case{{"Favorites", "Playlist 2"}, "Playlist 1"},
           Case{{"PLAYLIST 1", "Playlist 01", "Playlist 1 "}, "Playlist 2"},
       }) {
    EXPECT_EQ(UniquePlaylistName(Named(c.names)), c.unique) << c.names.back();
  }
}

TEST(UniquePlaylistNameTest, CountsPastNinetyNineRatherThanRepeatAName) {
  std::vector<std::string> names;
  for (int n = 1; n <= 120; ++n) names.push_back("Playlist " + std::to_string(n));
  EXPECT_EQ(UniquePlaylistName(Named(names)), "Playlist 121");
}

TEST(PlaylistRowTest, LastRowOfExactlyThatNameElseRowZero) {
  // Six playlists in a 4-column table: rows beyond the column count are found like any other.
  const Table playlistTable = Named({"Favorites", "A", "B", "A", "C", "Sixth"});
  EXPECT_EQ(PlaylistRow(playlistTable, "Sixth"), 5);
  EXPECT_EQ(PlaylistRow(playlistTable, "A"), 3);
  EXPECT_EQ(PlaylistRow(playlistTable, "Favorites"), 0);
  EXPECT_EQ(PlaylistRow(playlistTable, "a"), 0);
  EXPECT_EQ(PlaylistRow(playlistTable, "Unknown"), 0);
}

}  // namespace
}  // namespace vidoria
