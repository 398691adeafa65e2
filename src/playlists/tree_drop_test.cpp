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
    return DropOnTree(node, text, playlistTable_, libraryTable_, selected, recorder_.Hooks());
  }

  Table playlistTable_ = MakeTable({{"Favorites", "", "a.mp4"}, {"Mine"}}, PlaylistColumn::kCount);
  // Two files named Holiday.mp4 in different folders, and an unused row.
  Table libraryTable_ = MakeTable({{"MOVIE", "/v/Holiday.mp4", "Holiday.mp4", "1:01:40"},
                                   {"MOVIE", "/w/Holiday.mp4", "Holiday.mp4", "1:01:40"},
                                   {"MOVIE", "/v/Other.mp4", "Other.mp4", "1:01:40"},
                                   {"", "", "", ""}});
  RegenerationRecorder recorder_;
};

TEST_F(TreeDropTest, OnNoNodeOrOnPlaylistsCreatesAPlaylistOfTheSelection) {
  for (DropNode node : {DropNode::kNone, DropNode::kPlaylists}) {
    playlistTable_ = MakeTable({{"Favorites"}}, PlaylistColumn::kCount);
    recorder_.calls.clear();
    EXPECT_EQ(Drop(node, "PLAYLISTS", {"b.mp4", "c.mp4"}), "Playlist 1");
    EXPECT_EQ(CellsOf(playlistTable_),
              (Cells{{"Favorites", "", "", ""}, {"Playlist 1", "", "b.mp4", "c.mp4"}}));
    EXPECT_EQ(recorder_.calls, (Names{"page 1", "page 1", "page 1", "playlists"}));
  }
}

TEST_F(TreeDropTest, OnAPlaylistAddsTheEntriesItDoesNotHold) {
  EXPECT_EQ(Drop(DropNode::kPlaylist, "Favorites", {"a.mp4", "b.mp4"}), std::nullopt);
  EXPECT_EQ(CellsOf(playlistTable_),
            (Cells{{"Favorites", "", "a.mp4", "b.mp4"}, {"Mine", "", "", ""}}));
  EXPECT_EQ(recorder_.calls, (Names{"page 0", "playlists"}));
}

TEST_F(TreeDropTest, OnTvShowsReclassifiesEveryRowOfEachNameButNoUnusedRow) {
  Drop(DropNode::kTvShows, "TV Shows", {"Holiday.mp4", ""});
  EXPECT_EQ(LibraryList(libraryTable_, "TV").items, (Names{"Holiday.mp4", "Holiday.mp4"}));
  EXPECT_EQ(LibraryList(libraryTable_, "MOVIE").items, (Names{"Other.mp4"}));
  EXPECT_EQ(LibraryList(libraryTable_, "").items, (Names{""}));
  EXPECT_EQ(recorder_.calls, (Names{"view", "playlists"}));

  Drop(DropNode::kMovies, "Movies", {"Holiday.mp4"});
  EXPECT_EQ(LibraryList(libraryTable_, "TV").items, (Names{}));
}

TEST_F(TreeDropTest, OnAnyOtherNodeOrWithNothingSelectedChangesNothing) {
  const Table playlistTable = playlistTable_;
  const Table libraryTable = libraryTable_;
  Drop(DropNode::kOther, "Streaming", {"Holiday.mp4"});
  Drop(DropNode::kPlaylist, "Mine", {});
  Drop(DropNode::kMovies, "Movies", {});
  EXPECT_EQ(playlistTable_, playlistTable);
  EXPECT_EQ(libraryTable_, libraryTable);
  EXPECT_EQ(recorder_.calls, (Names{"playlists", "playlists", "view", "playlists"}));
}

}  // namespace
}  // namespace vidoria
