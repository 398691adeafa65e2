#include "playlists/playlist_rename.h"

#include <gtest/gtest.h>

#include "playlists/playlist_table.h"
#include "playlists/playlists_for_tests.h"

namespace vidoria {
namespace {

std::vector<std::string> Names(const Table& playlists) {
  std::vector<std::string> names;
  for (int row = 0; row < playlists.RowCount(); ++row) names.push_back(playlists.Cell(0, row));
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
           Case{"Mine", "Road trip", Renamed, {"Favorites", "Road trip", "Movies", "Road trip"}},
           Case{"Mine", "Mine", Renamed, {"Favorites", "Mine", "Movies", "Mine"}},  // cancelled
           Case{"Mine", "mine", Renamed, {"Favorites", "mine", "Movies", "mine"}},
           Case{"Mine", "movies", Renamed, {"Favorites", "movies", "Movies", "movies"}},
           Case{"Mine", "Streaming", Renamed, {"Favorites", "Streaming", "Movies", "Streaming"}},
           Case{"Mine", "Users", Renamed, {"Favorites", "Users", "Movies", "Users"}},
           Case{"Mine", "TV Shows", Reserved, {"Favorites", "Mine", "Movies", "Mine"}},
           Case{"Mine", "STREAMING", Reserved, {"Favorites", "Mine", "Movies", "Mine"}},
           Case{"Movies", "Films", NotRenamable, {"Favorites", "Mine", "Movies", "Mine"}},
           Case{"Mine", "", Empty, {"Favorites", "Mine", "Movies", "Mine"}},
           Case{"Mine", "Favorites", Taken, {"Favorites", "Mine", "Movies", "Mine"}},
           Case{"Mine", "Two\r\nlines", LineBreak, {"Favorites", "Mine", "Movies", "Mine"}},
       }) {
    Table playlists = MakeTable(before, kPlaylistColumns);
    RegenerationRecorder recorder;
    EXPECT_EQ(RenamePlaylist(playlists, c.from, c.to, recorder.Hooks()), c.outcome) << c.to;
    EXPECT_EQ(Names(playlists), c.names) << c.to;
    EXPECT_EQ(playlists.Cell(2, 1), "a.mp4") << c.to;
    const auto expectedCalls =
        c.outcome == Renamed ? std::vector<std::string>{"playlists"} : std::vector<std::string>{};
    EXPECT_EQ(recorder.calls, expectedCalls) << c.to;
  }
}

TEST(RenamePlaylistTest, APlaylistGivenASectionTitleCanBeRenamedBack) {
  Table playlists = MakeTable({{"Favorites"}}, kPlaylistColumns);
  for (const char* section : {"Users", "Log", "Folder scan", "ADVANCED", "Streaming"}) {
    ASSERT_EQ(RenamePlaylist(playlists, "Favorites", section, {}), RenameOutcome::Renamed);
    EXPECT_TRUE(RenamablePlaylist(section));
    EXPECT_EQ(RenamePlaylist(playlists, section, "Favorites", {}), RenameOutcome::Renamed);
  }
}

}  // namespace
}  // namespace vidoria
