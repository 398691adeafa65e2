#include "playlists/playlist_delete.h"

#include <gtest/gtest.h>

#include "playlists/playlist_table.h"
#include "playlists/playlists_for_tests.h"

namespace vidoria {
namespace {

using Calls = std::vector<std::string>;

class DeletePlaylistTest : public ::testing::Test {
 protected:
  // Three playlists, each with its page and its own list file (column 3 of playlists2).
  Table playlists_ = MakeTable({{"Favorites", "FAV PAGE", "a.mp4"},
                                {"Mine", "MINE PAGE", "b.mp4"},
                                {"Yours", "YOURS PAGE", "c.mp4"}},
                               kPlaylistColumns);
  Table playlists2_ =
      MakeTable({{"", "", "", "FAV LIST"}, {"", "", "", "MINE LIST"}, {"", "", "", "YOURS LIST"}});
  RegenerationRecorder recorder_;
};

TEST_F(DeletePlaylistTest, RemainingPlaylistsKeepTheirOwnListFiles) {
  EXPECT_TRUE(DeletePlaylist(playlists_, playlists2_, "Mine", recorder_.Hooks()));
  EXPECT_EQ(CellsOf(playlists_),
            (Cells{{"Favorites", "FAV PAGE", "a.mp4", ""}, {"Yours", "YOURS PAGE", "c.mp4", ""}}));
  EXPECT_EQ(CellsOf(playlists2_), (Cells{{"", "", "", "FAV LIST"}, {"", "", "", "YOURS LIST"}}));
  EXPECT_EQ(recorder_.calls, (Calls{"playlists"}));
}

TEST_F(DeletePlaylistTest, RowZeroIsEmptiedNotRemovedAndServesNoStaleListFile) {
  EXPECT_TRUE(DeletePlaylist(playlists_, playlists2_, "Favorites", recorder_.Hooks()));
  EXPECT_EQ(CellsOf(playlists_), (Cells{{"", "", "", ""},
                                        {"Mine", "MINE PAGE", "b.mp4", ""},
                                        {"Yours", "YOURS PAGE", "c.mp4", ""}}));
  EXPECT_EQ(CellsOf(playlists2_),
            (Cells{{"", "", "", ""}, {"", "", "", "MINE LIST"}, {"", "", "", "YOURS LIST"}}));
}

TEST_F(DeletePlaylistTest, EveryRowOfTheNameGoesEvenSideBySide) {
  Table playlists = MakeTable({{"Favorites"}, {"Twin"}, {"Twin"}, {"Other"}, {"Twin"}});
  Table playlists2 = MakeTable({{"0"}, {"1"}, {"2"}, {"3"}, {"4"}});
  EXPECT_TRUE(DeletePlaylist(playlists, playlists2, "Twin", recorder_.Hooks()));
  EXPECT_EQ(CellsOf(playlists), (Cells{{"Favorites"}, {"Other"}}));
  EXPECT_EQ(CellsOf(playlists2), (Cells{{"0"}, {"3"}}));
}

TEST_F(DeletePlaylistTest, PlaylistsNotYetGeneratedHaveNoListFileRowToRemove) {
  Table playlists2 = MakeTable({{"", "", "", "FAV LIST"}});
  EXPECT_TRUE(DeletePlaylist(playlists_, playlists2, "Yours", recorder_.Hooks()));
  EXPECT_EQ(playlists_.RowCount(), 2);
  EXPECT_EQ(CellsOf(playlists2), (Cells{{"", "", "", "FAV LIST"}}));
}

TEST_F(DeletePlaylistTest, UnknownNameChangesAndGeneratesNothing) {
  const Table before = playlists_;
  EXPECT_FALSE(DeletePlaylist(playlists_, playlists2_, "mine", recorder_.Hooks()));
  EXPECT_EQ(playlists_, before);
  EXPECT_TRUE(recorder_.calls.empty());
}

}  // namespace
}  // namespace vidoria
