// `vidoriad watch`, `unwatch` and `scan` with the real program in a temporary home: the folders
// file and the library file read back.
#include <gtest/gtest.h>

#include "engine/vidoriad_run_for_tests.h"
#include "library/stored_files.h"
#include "library/table_layouts.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;
using testing::VidoriadCommandTest;

class VidoriadFoldersTest : public VidoriadCommandTest {
 protected:
  VidoriadFoldersTest() {
    for (const char* folder : {"Films", "Videos", "Old Films"}) {
      fs::create_directories(home_ / folder);
    }
  }
  std::string Folder(const std::string& name) const { return (home_ / name).string() + "/"; }
  std::string FoldersFile(const std::vector<std::string>& names) const {
    std::string text;
    for (const std::string& name : names) text += Folder(name) + "\r\n";
    return text;
  }
};

TEST_F(VidoriadFoldersTest, WatchStoresAbsoluteFoldersInTheWindowsOrder) {
  // Relative to the shell's folder, with a doubled slash and a trailing one: as the window's
  // dialog would hand them over.
  const auto run = Vidoriad({"watch", "Videos", home_.string() + "//Films/", "./Old Films"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Read(data_ / "FOLDERS.kavra"), FoldersFile({"Films", "Old Films", "Videos"}));
  EXPECT_EQ(Vidoriad({"list", "folders"}).out,
            Folder("Films") + "\n" + Folder("Old Films") + "\n" + Folder("Videos") + "\n");

  // A folder watched already is not stored twice (every pass would walk it twice).
  const auto again = Vidoriad({"watch", Folder("Videos")});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_NE(again.out.find("watched already"), std::string::npos) << again.out;
  EXPECT_EQ(Read(data_ / "FOLDERS.kavra"), FoldersFile({"Films", "Old Films", "Videos"}));
}

// All or nothing: the one good folder of a refused command is not stored either.
TEST_F(VidoriadFoldersTest, WatchRefusesWhatTheWindowRefuses) {
  Write(data_ / "FOLDERS.kavra", FoldersFile({"Films"}));
  // Made by the first claim of the folder, as by any program's start, and then kept.
  Write(data_ / "vidoria.lock", "");
  Write(home_ / "file.mp4", "x");
  fs::create_directories(home_ / "Line\nBreak");
  fs::create_directories(home_ / "Closed");
  fs::permissions(home_ / "Closed", fs::perms::none);
  const bool root = ::geteuid() == 0;  // root reads a folder without permissions
  const struct {
    std::string folder;
    std::string reason;
  } cases[] = {
      {"Missing", "does not exist"},
      {"file.mp4", "is not a folder"},
      {"Line\nBreak", "line break"},
      {"Closed", root ? "" : "cannot be read"},
  };
  for (const auto& c : cases) {
    if (c.reason.empty()) continue;
    const auto state = DataFolderState();
    const auto run = Vidoriad({"watch", "Videos", c.folder});
    EXPECT_EQ(run.exitCode, 1) << c.folder;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    EXPECT_EQ(DataFolderState(), state) << c.folder;
  }
  fs::permissions(home_ / "Closed", fs::perms::owner_all);
}

TEST_F(VidoriadFoldersTest, UnwatchRemovesFoldersEvenWhenTheyAreGone) {
  Write(data_ / "FOLDERS.kavra", FoldersFile({"Films", "Gone", "Videos"}) + "/hand/written\r\n");
  const auto run = Vidoriad({"unwatch", "Gone", Folder("Films"), "/hand/written"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Read(data_ / "FOLDERS.kavra"), FoldersFile({"Videos"}));

  const auto state = DataFolderState();
  const auto refused = Vidoriad({"unwatch", "Videos", "Films"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find(Folder("Films") + " is not a watched folder"), std::string::npos)
      << refused.err;
  EXPECT_EQ(DataFolderState(), state);
}

TEST_F(VidoriadFoldersTest, ScanAddsTheWatchedFoldersFilesAndStoresTheLibrary) {
  Write(home_ / "Videos/Holiday.mp4", "x");
  Write(home_ / "Videos/Series/Episode 1.mp4", "x");
  Write(home_ / "Videos/notes.txt", "x");
  Write(home_ / "Films/Film.mp4", "x");
  ASSERT_EQ(Vidoriad({"watch", "Videos"}).exitCode, 0);

  const auto run = Vidoriad({"scan"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // Not a terminal: the end only, no progress line rewritten in place.
  EXPECT_EQ(run.out, "Scanned 1 folder: 2 files added; the library holds 2.\n");
  Table library(LibraryColumn::kCount, 1);
  LoadGrid(library, (data_ / "LIBRARY.kavra").string());
  ASSERT_EQ(library.RowCount(), 2);
  std::set<std::pair<std::string, std::string>> rows;
  for (int row = 0; row < library.RowCount(); ++row) {
    EXPECT_EQ(library.Cell(LibraryColumn::kClass, row), "MOVIE");
    rows.emplace(library.Cell(LibraryColumn::kName, row), library.Cell(LibraryColumn::kPath, row));
  }
  EXPECT_EQ(rows, (std::set<std::pair<std::string, std::string>>{
                      {"Holiday.mp4", Folder("Videos") + "Holiday.mp4"},
                      {"Episode 1.mp4", Folder("Videos") + "Series/Episode 1.mp4"}}));
  // The scan stores the library only.
  for (const char* name : {"settings.kavra", "PLAYLISTS.kavra", "USERS.kavra"}) {
    EXPECT_FALSE(fs::exists(data_ / name)) << name;
  }

  ASSERT_EQ(Vidoriad({"watch", "Films"}).exitCode, 0);
  EXPECT_EQ(Vidoriad({"scan"}).out, "Scanned 2 folders: 1 file added; the library holds 3.\n");
}

// On a terminal the pass shows its progress in one line rewritten in place, then its end.
TEST_F(VidoriadFoldersTest, ScanShowsItsProgressOnATerminal) {
  Write(home_ / "Videos/Holiday.mp4", "x");
  ASSERT_EQ(Vidoriad({"watch", "Videos"}).exitCode, 0);
  const auto run = VidoriadOnTerminal({"scan"});
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_NE(run.out.find("\r\x1b[K"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" added"), std::string::npos) << run.out;
  EXPECT_TRUE(run.out.ends_with("\r\x1b[KScanned 1 folder: 1 file added; the library holds 1.\r\n"))
      << run.out;
}

TEST_F(VidoriadFoldersTest, ScanWithoutWatchedFoldersSaysHowToAddOne) {
  const auto run = Vidoriad({"scan"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("vidoriad watch FOLDER"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(data_ / "LIBRARY.kavra"));
}

}  // namespace
}  // namespace vidoria
