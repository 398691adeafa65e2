#include "playlists/playlist_delete.h"

#include <gtest/gtest.h>

#include "playlists/playlist_table.h"
#include "playlists/playlists_for_tests.h"

namespace vidoria {
namespace {

using Calls = std::vector<std::string>;

class DeletePlaylistTest : public ::testing::Test {
 protected:
  // Three playlists, each with its page and its own list file (in the list-file table).
  Table playlistTable_ = MakeTable({{"Favorites", "FAV PAGE", "a.mp4"},
                                    {"Mine", "MINE PAGE", "b.mp4"},
                                    {"Yours", "YOURS PAGE", "c.mp4"}},
                                   PlaylistColumn::kCount);
  Table listFileTable_ =
      MakeTable({{"", "", "", "FAV LIST"}, {"", "", "", "MINE LIST"}, {"", "", "", "YOURS LIST"}});
  RegenerationRecorder recorder_;
};

TEST_F(DeletePlaylistTest, RemainingPlaylistsKeepTheirOwnListFiles) {
  EXPECT_TRUE(DeletePlaylist(playlistTable_, listFileTable_, "Mine", recorder_.Hooks()));
  EXPECT_EQ(CellsOf(playlistTable_),
            (Cells{{"Favorites", "FAV PAGE", "a.mp4", ""}, {"Yours", "YOURS PAGE", "c.mp4", ""}}));
  EXPECT_EQ(CellsOf(listFileTable_), (Cells{{"", "", "", "FAV LIST"}, {"", "", "", "YOURS LIST"}}));
  EXPECT_EQ(recorder_.calls, (Calls{"playlists"}));
}

TEST_F(DeletePlaylistTest, RowZeroIsEmptiedNotRemovedAndServesNoStaleListFile) {
  EXPECT_TRUE(DeletePlaylist(playlistTable_, listFileTable_, "Favorites", recorder_.Hooks()));
  EXPECT_EQ(CellsOf(playlistTable_), (Cells{{"", "", "", ""},
                                            {"Mine", "MINE PAGE", "b.mp4", ""},
                                            {"Yours", "YOURS PAGE", "c.mp4", ""}}));
  EXPECT_EQ(CellsOf(listFileTable_),
            (Cells{{"", "", "", ""}, {"", "", "", "MINE LIST"}, {"", "", "", "YOURS LIST"}}));
}

TEST_F(DeletePlaylistTest, EveryRowOfTheNameGoesEvenSideBySide) {
  Table playlistTable = MakeTable({{"Favorites"}, {"Twin"}, {"Twin"}, {"Other"}, {"Twin"}});
  Table listFileTable = MakeTable({{"0"}, {"1"}, {"2"}, {"3"}, {"4"}});
  EXPECT_TRUE(DeletePlaylist(playlistTable, listFileTable, "Twin", recorder_.Hooks()));
  EXPECT_EQ(CellsOf(playlistTable), (Cells{{"Favorites"}, {"Other"}}));
  EXPECT_EQ(CellsOf(listFileTable), (Cells{{"0"}, {"3"}}));
}

TEST_F(DeletePlaylistTest, PlaylistsNotYetGeneratedHaveNoListFileRowToRemove) {
  Table listFileTable = MakeTable({{"", "", "", "FAV LIST"}});
  EXPECT_TRUE(DeletePlaylist(playlistTable_, listFileTable, "Yours", recorder_.Hooks()));
  EXPECT_EQ(playlistTable_.RowCount(), 2);
  EXPECT_EQ(CellsOf(listFileTable), (Cells{{"", "", "", "FAV LIST"}}));
}

TEST_F(DeletePlaylistTest, UnknownNameChangesAndGeneratesNothing) {
  const Table before = playlistTable_;
  EXPECT_FALSE(DeletePlaylist(playlistTable_, listFileTable_, "mine", recorder_.Hooks()));
  EXPECT_EQ(playlistTable_, before);
  EXPECT_TRUE(recorder_.calls.empty());
}

}  // namespace
}  // namespace vidoria
