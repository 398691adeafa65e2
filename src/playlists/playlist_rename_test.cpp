#include "playlists/playlist_rename.h"

#include <gtest/gtest.h>

#include "playlists/playlist_table.h"
#include "playlists/playlists_for_tests.h"

namespace vidoria {
namespace {

std::vector<std::string> Names(const Table& playlistTable) {
  std::vector<std::string> names;
  for (int row = 0; row < playlistTable.RowCount(); ++row)
    names.push_back(playlistTable.Cell(PlaylistColumn::kName, row));
  return names;
}

TEST(RenamePlaylistTest, OutcomesAndTheNamesAfterwards) {
  using enum RenameOutcome;
  struct Case {
    const char* from;
    const char* to;
    RenameOutcome outcome;
    std::vector<std::string> names;
  };
  // Two rows share "Mine", as a stored file may have it; "Movies" came from a stored file too.
  const Cells before = {{"Favorites"}, {"Mine", "", "a.mp4"}, {"Movies"}, {"Mine"}};
  for (const Case& c : {
           Case{"Mine", "Road trip", kRenamed, {"Favorites", "Road trip", "Movies", "Road trip"}},
           Case{"Mine", "Mine", kRenamed, {"Favorites", "Mine", "Movies", "Mine"}},  // cancelled
           Case{"Mine", "mine", kRenamed, {"Favorites", "mine", "Movies", "mine"}},
           Case{"Mine", "movies", kRenamed, {"Favorites", "movies", "Movies", "movies"}},
           Case{"Mine", "Streaming", kRenamed, {"Favorites", "Streaming", "Movies", "Streaming"}},
           Case{"Mine", "Users", kRenamed, {"Favorites", "Users", "Movies", "Users"}},
           Case{"Mine", "TV Shows", kReserved, {"Favorites", "Mine", "Movies", "Mine"}},
           Case{"Mine", "STREAMING", kReserved, {"Favorites", "Mine", "Movies", "Mine"}},
           Case{"Movies", "Films", kNotRenamable, {"Favorites", "Mine", "Movies", "Mine"}},
           Case{"Mine", "", kEmpty, {"Favorites", "Mine", "Movies", "Mine"}},
           Case{"Mine", "Favorites", kTaken, {"Favorites", "Mine", "Movies", "Mine"}},
           Case{"Mine", "Two\r\nlines", kLineBreak, {"Favorites", "Mine", "Movies", "Mine"}},
       }) {
    Table playlistTable = MakeTable(before, PlaylistColumn::kCount);
    RegenerationRecorder recorder;
    EXPECT_EQ(RenamePlaylist(playlistTable, c.from, c.to, recorder.Hooks()), c.outcome) << c.to;
    EXPECT_EQ(Names(playlistTable), c.names) << c.to;
    EXPECT_EQ(playlistTable.Cell(PlaylistColumn::kFirstSlot, 1), "a.mp4") << c.to;
    const auto expectedCalls =
        c.outcome == kRenamed ? std::vector<std::string>{"playlists"} : std::vector<std::string>{};
    EXPECT_EQ(recorder.calls, expectedCalls) << c.to;
  }
}

TEST(RenamePlaylistTest, APlaylistGivenASectionTitleCanBeRenamedBack) {
  Table playlistTable = MakeTable({{"Favorites"}}, PlaylistColumn::kCount);
  for (const char* section : {"Users", "Log", "Folder scan", "ADVANCED", "Streaming"}) {
    ASSERT_EQ(RenamePlaylist(playlistTable, "Favorites", section, {}), RenameOutcome::kRenamed);
    EXPECT_TRUE(RenamablePlaylist(section));
    EXPECT_EQ(RenamePlaylist(playlistTable, section, "Favorites", {}), RenameOutcome::kRenamed);
  }
}

}  // namespace
}  // namespace vidoria
