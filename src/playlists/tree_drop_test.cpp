#include "playlists/tree_drop.h"

#include <gtest/gtest.h>

#include "library/library_table.h"
#include "playlists/playlist_table.h"
#include "playlists/playlists_for_tests.h"

namespace vidoria {
namespace {

using Names = std::vector<std::string>;

class TreeDropTest : public ::testing::Test {
 protected:
  std::optional<std::string> Drop(DropNode node, const char* text, const Names& selected) {
    return DropOnTree(node, text, playlists_, myGrid_, selected, recorder_.Hooks());
  }

  Table playlists_ = MakeTable({{"Favorites", "", "a.mp4"}, {"Mine"}}, kPlaylistColumns);
  // Two files named Holiday.mp4 in different folders, and an unused row.
  Table myGrid_ = MakeTable({{"MOVIE", "/v/Holiday.mp4", "Holiday.mp4", "1:01:40"},
                             {"MOVIE", "/w/Holiday.mp4", "Holiday.mp4", "1:01:40"},
                             {"MOVIE", "/v/Other.mp4", "Other.mp4", "1:01:40"},
                             {"", "", "", ""}});
  RegenerationRecorder recorder_;
};

TEST_F(TreeDropTest, OnNoNodeOrOnPlaylistsCreatesAPlaylistOfTheSelection) {
  for (DropNode node : {DropNode::None, DropNode::Playlists}) {
    playlists_ = MakeTable({{"Favorites"}}, kPlaylistColumns);
    recorder_.calls.clear();
    EXPECT_EQ(Drop(node, "PLAYLISTS", {"b.mp4", "c.mp4"}), "Playlist 1");
    EXPECT_EQ(CellsOf(playlists_),
              (Cells{{"Favorites", "", "", ""}, {"Playlist 1", "", "b.mp4", "c.mp4"}}));
    EXPECT_EQ(recorder_.calls, (Names{"page 1", "page 1", "page 1", "playlists"}));
  }
}

TEST_F(TreeDropTest, OnAPlaylistAddsTheEntriesItDoesNotHold) {
  EXPECT_EQ(Drop(DropNode::Playlist, "Favorites", {"a.mp4", "b.mp4"}), std::nullopt);
  EXPECT_EQ(CellsOf(playlists_),
            (Cells{{"Favorites", "", "a.mp4", "b.mp4"}, {"Mine", "", "", ""}}));
  EXPECT_EQ(recorder_.calls, (Names{"page 0", "playlists"}));
}

TEST_F(TreeDropTest, OnTvShowsReclassifiesEveryRowOfEachNameButNoUnusedRow) {
  Drop(DropNode::TvShows, "TV Shows", {"Holiday.mp4", ""});
  EXPECT_EQ(LibraryList(myGrid_, "TV").items, (Names{"Holiday.mp4", "Holiday.mp4"}));
  EXPECT_EQ(LibraryList(myGrid_, "MOVIE").items, (Names{"Other.mp4"}));
  EXPECT_EQ(LibraryList(myGrid_, "").items, (Names{""}));
  EXPECT_EQ(recorder_.calls, (Names{"view", "playlists"}));

  Drop(DropNode::Movies, "Movies", {"Holiday.mp4"});
  EXPECT_EQ(LibraryList(myGrid_, "TV").items, (Names{}));
}

TEST_F(TreeDropTest, OnAnyOtherNodeOrWithNothingSelectedChangesNothing) {
  const Table playlists = playlists_;
  const Table myGrid = myGrid_;
  Drop(DropNode::Other, "Streaming", {"Holiday.mp4"});
  Drop(DropNode::Playlist, "Mine", {});
  Drop(DropNode::Movies, "Movies", {});
  EXPECT_EQ(playlists_, playlists);
  EXPECT_EQ(myGrid_, myGrid);
  EXPECT_EQ(recorder_.calls, (Names{"playlists", "playlists", "view", "playlists"}));
}

}  // namespace
}  // namespace vidoria
