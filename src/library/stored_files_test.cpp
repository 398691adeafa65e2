#include "library/stored_files.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "library/activity_log.h"
#include "library/library_table.h"
#include "library/line_breaks.h"
#include "library/table_layouts.h"
#include "platform/temp_folder_for_tests.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;

class StoredFilesTest : public ::testing::Test {
 protected:
  std::set<std::string> Names() const { return dir_.Names(); }

  TempFolder dir_;
};

TEST_F(StoredFilesTest, TwoMovieLibraryIsStoredByteForByte) {
  ActivityLog log([] { return "now"; });
  StatusBoard status(log);
  Table library(4, 1);
  AddToLibrary(library, "MOVIE", "/v/a.mp4", 2, 1, status);
  AddToLibrary(library, "MOVIE", "/w/b.mp4", 2, 2, status);
  const std::string path = dir_.Path(std::string(kLibraryFileName));

  EXPECT_TRUE(SaveGrid(library, path).empty());

  EXPECT_EQ(TempFolder::Read(path),
            "4\r\n2\r\nMOVIE\r\nMOVIE\r\n/v/a.mp4\r\n/w/b.mp4\r\na.mp4\r\nb.mp4\r\n"
            "1:01:40\r\n1:01:40\r\n");
}

TEST_F(StoredFilesTest, EmptyLibraryIsFourAndOneAndFourEmptyLines) {
  const std::string path = dir_.Path("LIBRARY.kavra");
  EXPECT_TRUE(SaveGrid(Table(4, 1), path).empty());
  EXPECT_EQ(TempFolder::Read(path), "4\r\n1\r\n\r\n\r\n\r\n\r\n");
}

TEST_F(StoredFilesTest, CellsRoundTripUnchanged) {
  Table table(3, 2);
  const char* cells[] = {
      "/home/u/My Videos/Holiday 2012.mp4",           "\"quoted\" 'single'",      "",
      "/srv/Filme/Été à Zürich/Ünïcödé – 日本語.mp4", "  leading and trailing  ", "tab\there;,=%20",
  };
  for (int i = 0; i < 6; ++i) table.SetCell(i % 3, i / 3, cells[i]);
  const std::string path = dir_.Path("PLAYLISTS.kavra");

  EXPECT_TRUE(SaveGrid(table, path).empty());
  Table loaded(1, 1);
  LoadGrid(loaded, path);

  EXPECT_EQ(loaded, table);
  EXPECT_NE(TempFolder::Read(path).find("Été à Zürich/Ünïcödé – 日本語.mp4\r\n"), std::string::npos)
      << "UTF-8 bytes are stored as they are";
  EXPECT_NE(TempFolder::Read(path).substr(0, 3), "\xEF\xBB\xBF") << "no byte-order mark";
}

TEST_F(StoredFilesTest, LoadingAcceptsAnyLineEnd) {
  for (const std::string bytes :
       {"2\n1\na\nb\n", "2\r1\ra\rb\r", "2\r\n1\na\rb", "2\r\n1\r\na\r\nb"}) {
    const std::string path = dir_.Write("grid", bytes);
    Table table;
    LoadGrid(table, path);
    Table expected(2, 1);
    expected.SetCell(0, 0, "a");
    expected.SetCell(1, 0, "b");
    EXPECT_EQ(table, expected) << ::testing::PrintToString(bytes);
  }
}

TEST_F(StoredFilesTest, LoadingTakesTheStoredCountsAndLeavesOtherCellsAlone) {
  // The playlist table is named before its file is read; a stored column count of 0 keeps the name.
  Table playlists(4, 1);
  playlists.SetCell(PlaylistColumn::kName, 0, "Favorites");
  LoadGrid(playlists, dir_.Write("zero", "0\r\n2\r\n"));
  EXPECT_EQ(playlists.ColCount(), 1);
  EXPECT_EQ(playlists.RowCount(), 2);
  EXPECT_EQ(playlists.Cell(PlaylistColumn::kName, 0), "Favorites");

  Table wide(4, 3);
  wide.SetCell(3, 2, "gone");
  wide.SetCell(0, 0, "replaced");
  LoadGrid(wide, dir_.Write("small", "2\r\n1\r\nx\r\ny\r\nextra line\r\n"));
  Table expected(2, 1);
  expected.SetCell(0, 0, "x");
  expected.SetCell(1, 0, "y");
  EXPECT_EQ(wide, expected);
}

struct BadGrid {
  const char* name;
  std::string bytes;
  std::string reason;
};

class BadGridTest : public StoredFilesTest, public ::testing::WithParamInterface<BadGrid> {};

TEST_P(BadGridTest, IsRefusedAndSetAsideWithoutLosingAnything) {
  const BadGrid& bad = GetParam();
  const std::string path = dir_.Write("LIBRARY.kavra", bad.bytes);
  const std::string other = dir_.Write("PLAYLISTS.kavra", "1\r\n1\r\nFavorites\r\n");
  Table initial(4, 1);
  initial.SetCell(0, 0, "initial");

  Table table = initial;
  try {
    LoadGrid(table, path);
    ADD_FAILURE() << "loaded";
  } catch (const StoreError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot read " + path + ": " + bad.reason);
    EXPECT_EQ(e.Reason(), bad.reason);
  }
  EXPECT_EQ(table, initial) << "a failed load changes nothing";

  EXPECT_EQ(LoadGridOrSetAside(table, path),
            "LIBRARY.kavra could not be read (" + bad.reason + "); kept as LIBRARY.kavra.bad");
  EXPECT_EQ(table, initial);
  EXPECT_FALSE(dir_.Exists("LIBRARY.kavra"));
  EXPECT_EQ(TempFolder::Read(path + ".bad"), bad.bytes);
  EXPECT_EQ(TempFolder::Read(other), "1\r\n1\r\nFavorites\r\n");
  EXPECT_EQ(Names(), (std::set<std::string>{"LIBRARY.kavra.bad", "PLAYLISTS.kavra"}));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadGridTest,
    ::testing::Values(
        BadGrid{"Empty", "", "not a grid file (line 1 is no count)"},
        BadGrid{"OneLine", "4\r\n", "not a grid file (line 2 is no count)"},
        BadGrid{"TextCount", "four\r\n1\r\n\r\n\r\n\r\n\r\n",
                "not a grid file (line 1 is no count)"},
        BadGrid{"TwoNumbers", "4\r\n1 2\r\n\r\n\r\n\r\n\r\n",
                "not a grid file (line 2 is no count)"},
        BadGrid{"CountBeyondInt", "99999999999\r\n1\r\n", "not a grid file (line 1 is no count)"},
        BadGrid{"ByteOrderMark",
                "\xEF\xBB\xBF"
                "4\r\n1\r\n\r\n\r\n\r\n\r\n",
                "not a grid file (line 1 is no count)"},
        BadGrid{"Truncated", "4\r\n2\r\nMOVIE\r\nMOVIE\r\n/v/a.mp4\r\n",
                "damaged: 4 columns and 2 rows, but the file ends after 3 cells"},
        // Would ask for two thousand million rows if the counts were believed.
        BadGrid{"HugeCountWithoutCells", "0\r\n2000000000\r\n",
                "damaged: 0 columns and 2000000000 rows, but the file ends after 0 cells"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoredFilesTest, MissingFileLeavesTheTableAndFolderAlone) {
  Table table(4, 1);
  table.SetCell(0, 0, "Favorites");
  const Table initial = table;
  EXPECT_EQ(LoadGridOrSetAside(table, dir_.Path("PLAYLISTS.kavra")), std::nullopt);
  EXPECT_EQ(table, initial);
  std::vector<std::string> lines{"kept"};
  EXPECT_EQ(ReadLineFileOrSetAside(lines, dir_.Path("FOLDERS.kavra")), std::nullopt);
  EXPECT_EQ(lines, std::vector<std::string>{"kept"});
  EXPECT_TRUE(Names().empty());
}

TEST_F(StoredFilesTest, EarlierBadFilesAreKept) {
  dir_.Write("USERS.kavra.bad", "first");
  dir_.Write("USERS.kavra.1.bad", "second");
  const std::string path = dir_.Write("USERS.kavra", "third");
  Table users(2, 1);
  EXPECT_EQ(LoadGridOrSetAside(users, path),
            "USERS.kavra could not be read (not a grid file (line 1 is no count)); kept as "
            "USERS.kavra.2.bad");
  EXPECT_EQ(TempFolder::Read(path + ".bad"), "first");
  EXPECT_EQ(TempFolder::Read(path + ".1.bad"), "second");
  EXPECT_EQ(TempFolder::Read(path + ".2.bad"), "third");
}

TEST_F(StoredFilesTest, UnreadableFilesAreSetAside) {
  // A folder where the file should be opens but cannot be read, even for root.
  dir_.MakeFolder("LIBRARY.kavra");
  dir_.Write("LIBRARY.kavra/inside", "x");
  Table library(4, 1);
  EXPECT_EQ(LoadGridOrSetAside(library, dir_.Path("LIBRARY.kavra")),
            "LIBRARY.kavra could not be read (" + std::string(std::strerror(EISDIR)) +
                "); kept as LIBRARY.kavra.bad");
  EXPECT_EQ(TempFolder::Read(dir_.Path("LIBRARY.kavra.bad/inside")), "x");

  dir_.MakeFolder("FOLDERS.kavra");
  std::vector<std::string> lines;
  EXPECT_EQ(ReadLineFileOrSetAside(lines, dir_.Path("FOLDERS.kavra")),
            "FOLDERS.kavra could not be read (" + std::string(std::strerror(EISDIR)) +
                "); kept as FOLDERS.kavra.bad");
  EXPECT_TRUE(lines.empty());
}

TEST_F(StoredFilesTest, LineFilesEndEveryLineWithCrLf) {
  const std::string path = dir_.Path("FOLDERS.kavra");
  const std::vector<std::string> folders{"/home/u/Videos/", "", "/srv/Filme/Été/"};
  EXPECT_TRUE(WriteLineFile(path, folders).empty());
  EXPECT_EQ(TempFolder::Read(path), "/home/u/Videos/\r\n\r\n/srv/Filme/Été/\r\n");
  EXPECT_EQ(ReadLineFile(path), folders);

  EXPECT_TRUE(WriteLineFile(path, {}).empty());
  EXPECT_EQ(TempFolder::Read(path), "");
  EXPECT_TRUE(ReadLineFile(path).empty());
}

TEST_F(StoredFilesTest, LineFilesReadAnyLineEnd) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  for (const Case& c : {
           Case{"a\r\nb\r\n", {"a", "b"}},
           Case{"a\rb\nc", {"a", "b", "c"}},
           Case{"a\n\r\nb", {"a", "", "b"}},
           Case{"a\r\r\n", {"a", ""}},
           Case{"\r\n", {""}},
           Case{"", {}},
       }) {
    EXPECT_EQ(ReadLineFile(dir_.Write("settings.kavra", c.bytes)), c.lines)
        << ::testing::PrintToString(c.bytes);
  }
}

// A value with a line break must never make a stored file unwritable: its row (or entry) stays
// out, the others are saved, and the notice names the row.
TEST_F(StoredFilesTest, RowsWithLineBreaksAreLeftOutAndTheRestIsSaved) {
  const std::string grid = dir_.Write("LIBRARY.kavra", "old grid");
  for (const char* text : {"a\rb", "a\nb", "<html>\r\n</html>"}) {
    SCOPED_TRACE(Printable(text));
    Table table(3, 3);
    for (int row = 0; row < 3; ++row) table.SetCell(0, row, "r" + std::to_string(row));
    table.SetCell(2, 1, text);
    const std::vector<std::string> leftOut = SaveGrid(table, grid);
    EXPECT_EQ(TempFolder::Read(grid), "3\r\n2\r\nr0\r\nr2\r\n\r\n\r\n\r\n\r\n");
    ASSERT_EQ(leftOut.size(), 1u);
    EXPECT_EQ(leftOut[0], "Left out of LIBRARY.kavra: row 2 (" + Printable(text) +
                              ") has a line break, which the file cannot store.");
  }

  // Nothing storable left: the empty table, which reads back as one empty row.
  Table allBroken(2, 2);
  allBroken.SetCell(0, 0, "x\n");
  allBroken.SetCell(1, 1, "\ry");
  EXPECT_EQ(SaveGrid(allBroken, grid).size(), 2u);
  EXPECT_EQ(TempFolder::Read(grid), "2\r\n1\r\n\r\n\r\n");
  Table loaded(2, 5);
  LoadGrid(loaded, grid);
  EXPECT_EQ(loaded.RowCount(), 1);

  const std::string lines = dir_.Write("FOLDERS.kavra", "old lines");
  const std::vector<std::string> leftOut = WriteLineFile(lines, {"/a/", "/b\n/", "/c/"});
  EXPECT_EQ(TempFolder::Read(lines), "/a/\r\n/c/\r\n");
  EXPECT_EQ(leftOut, std::vector<std::string>{"Left out of FOLDERS.kavra: entry 2 (/b\\n/) has a "
                                              "line break, which the file cannot store."});
  EXPECT_EQ(Names(), (std::set<std::string>{"LIBRARY.kavra", "FOLDERS.kavra"}));
}

TEST_F(StoredFilesTest, SavingIntoAFolderThatCannotExistFailsNamingTheFile) {
  dir_.Write("plain-file", "");
  const std::string path = dir_.Path("plain-file/LIBRARY.kavra");
  try {
    (void)SaveGrid(Table(4, 1), path);
    ADD_FAILURE() << "saved";
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot write " + path + ": "), std::string::npos)
        << e.what();
  }
  EXPECT_THROW((void)WriteLineFile(path, {"x"}), StoreError);
}

TEST_F(StoredFilesTest, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  const std::string path = dir_.Write("LIBRARY.kavra", "4\r\n1\r\n\r\n\r\n\r\n\r\n");
  Table big(4, 1000);
  for (int row = 0; row < 1000; ++row) big.SetCell(1, row, "/a/long/enough/path.mp4");

  // A file size limit makes the write itself fail half-way (EFBIG), like a full disk would.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_THROW((void)SaveGrid(big, path), StoreError);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(TempFolder::Read(path), "4\r\n1\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(Names(), std::set<std::string>{"LIBRARY.kavra"});
}

TEST_F(StoredFilesTest, ReplacingAFileKeepsItsPermissions) {
  const std::string path = dir_.Write("USERS.kavra", "2\r\n1\r\n\r\n\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  Table users(2, 1);
  users.SetCell(0, 0, "anna");
  EXPECT_TRUE(SaveGrid(users, path).empty());
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(TempFolder::Read(path), "2\r\n1\r\nanna\r\n\r\n");
  EXPECT_EQ(Names(), std::set<std::string>{"USERS.kavra"});
}

}  // namespace
}  // namespace vidoria
