#include "playlists/playlist_edit.h"

#include <gtest/gtest.h>

#include "playlists/playlist_table.h"
#include "playlists/playlists_for_tests.h"

namespace vidoria {
namespace {

using Calls = std::vector<std::string>;

class PlaylistEditTest : public ::testing::Test {
 protected:
  RegenerationRecorder recorder_;
  PlaylistRegeneration regen_ = recorder_.Hooks();
};

TEST_F(PlaylistEditTest, NewPlaylistTakesTheNextNameAndTheSelectedEntries) {
  Table playlistTable =
      MakeTable({{"Favorites", "", "a.mp4"}, {"Playlist 1"}}, PlaylistColumn::kCount);
  EXPECT_EQ(CreatePlaylist(playlistTable, {"x.mp4", "y.mp4"}, regen_), "Playlist 2");
  EXPECT_EQ(CellsOf(playlistTable), (Cells{{"Favorites", "", "a.mp4", ""},
                                           {"Playlist 1", "", "", ""},
                                           {"Playlist 2", "", "x.mp4", "y.mp4"}}));
  // Once per entry added, then once for the new playlist.
  EXPECT_EQ(recorder_.calls, (Calls{"page 2", "page 2", "page 2"}));
}

TEST_F(PlaylistEditTest, NewPlaylistReusesOnlyABlankLastRow) {
  struct Case {
    const char* what;
    Cells before;
    Cells after;
  };
  for (const Case& c : {
           Case{"deleted Favorites as the only row", {{}}, {{"Playlist 1", "", "n.mp4", ""}}},
           Case{"a playlist renamed to nothing keeps its entries",
                {{"", "", "kept.mp4"}},
                {{"", "", "kept.mp4", ""}, {"Playlist 1", "", "n.mp4", ""}}},
       }) {
    Table playlistTable = MakeTable(c.before, PlaylistColumn::kCount);
    CreatePlaylist(playlistTable, {"n.mp4"}, regen_);
    EXPECT_EQ(CellsOf(playlistTable), c.after) << c.what;
  }
}

TEST_F(PlaylistEditTest, EntriesBeyondTheFreeSlotsWidenEveryRow) {
  Table playlistTable =
      MakeTable({{"Favorites", "", "x.mp4", "y.mp4"}, {"Playlist 1"}}, PlaylistColumn::kCount);
  UpdatePlaylist(playlistTable, "Favorites", {"a.mp4", "b.mp4", "c.mp4"}, regen_);
  EXPECT_EQ(playlistTable.ColCount(), 7);
  EXPECT_EQ(CellsOf(playlistTable),
            (Cells{{"Favorites", "", "x.mp4", "y.mp4", "a.mp4", "b.mp4", "c.mp4"},
                   {"Playlist 1", "", "", "", "", "", ""}}));
  EXPECT_EQ(recorder_.calls, (Calls{"page 0", "page 0", "page 0"}));
}

// A text with a line break names no library file, and stored in a slot it would leave the whole
// playlist out of the playlist file.
TEST_F(PlaylistEditTest, HeldEntriesEmptyTextsAndLineBreaksAreSkipped) {
  Table playlistTable = MakeTable({{"Favorites", "", "a.mp4"}}, PlaylistColumn::kCount);
  UpdatePlaylist(playlistTable, "Favorites", {"a.mp4", "", "x\ny.mp4", "b.mp4", "b.mp4", "z\r"},
                 regen_);
  EXPECT_EQ(CellsOf(playlistTable), (Cells{{"Favorites", "", "a.mp4", "b.mp4"}}));
  EXPECT_EQ(recorder_.calls, (Calls{"page 0"}));

  // Nothing new: the table neither changes nor grows, and nothing is generated.
  UpdatePlaylist(playlistTable, "Favorites", {"b.mp4", "", "a.mp4"}, regen_);
  EXPECT_EQ(CellsOf(playlistTable), (Cells{{"Favorites", "", "a.mp4", "b.mp4"}}));
  EXPECT_EQ(recorder_.calls, (Calls{"page 0"}));
}

TEST_F(PlaylistEditTest, ANarrowStoredTableGrowsPastThePageColumn) {
  Table playlistTable = MakeTable({{"Favorites"}});  // a stored column count of 1
  UpdatePlaylist(playlistTable, "Favorites", {"a.mp4"}, regen_);
  EXPECT_EQ(CellsOf(playlistTable), (Cells{{"Favorites", "", "a.mp4"}}));
}

TEST_F(PlaylistEditTest, RemovedEntryLeavesAGapThatTheNextAdditionFills) {
  Table playlistTable =
      MakeTable({{"Favorites"}, {"Mine", "", "a.mp4", "b.mp4", "c.mp4"}}, PlaylistColumn::kCount);
  RemoveFromPlaylist(playlistTable, "Mine", {"b.mp4"}, regen_);
  EXPECT_EQ(CellsOf(playlistTable)[1],
            (std::vector<std::string>{"Mine", "", "a.mp4", "", "c.mp4"}));
  EXPECT_EQ(recorder_.calls, (Calls{"playlists", "page 0", "page 1", "library"}));

  UpdatePlaylist(playlistTable, "Mine", {"d.mp4"}, regen_);
  EXPECT_EQ(CellsOf(playlistTable)[1],
            (std::vector<std::string>{"Mine", "", "a.mp4", "d.mp4", "c.mp4"}));
}

TEST_F(PlaylistEditTest, RemovalScopeIsTheNamedPlaylistOrEveryPlaylist) {
  const Cells before = {{"Favorites", "", "a.mp4", "b.mp4"},
                        {"Mine", "", "b.mp4", "a.mp4", "b.mp4"},
                        {"Mine", "", "c.mp4"}};
  Table named = MakeTable(before);
  RemoveFromPlaylist(named, "Mine", {"b.mp4", "c.mp4"}, regen_);
  EXPECT_EQ(CellsOf(named), (Cells{{"Favorites", "", "a.mp4", "b.mp4", ""},
                                   {"Mine", "", "", "a.mp4", ""},
                                   {"Mine", "", "", "", ""}}));

  Table every = MakeTable(before);
  RemoveFromEveryPlaylist(every, {"b.mp4"}, regen_);
  EXPECT_EQ(CellsOf(every), (Cells{{"Favorites", "", "a.mp4", "", ""},
                                   {"Mine", "", "", "a.mp4", ""},
                                   {"Mine", "", "c.mp4", "", ""}}));
}

}  // namespace
}  // namespace vidoria
