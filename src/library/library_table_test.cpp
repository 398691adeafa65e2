#include "library/library_table.h"

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vidoria {
namespace {

using Names = std::vector<std::string>;

TEST(SecondsToTimeTest, RoundsHalvesToEvenAndLeavesHoursUnpadded) {
  struct Case {
    double seconds;
    const char* text;
  };
  for (const Case& c : {
           Case{3700, "1:01:40"},
           Case{0, "0:00:00"},
           Case{0.5, "0:00:00"},
           Case{1.5, "0:00:02"},
           Case{2.5, "0:00:02"},
           Case{2.5000001, "0:00:03"},
           Case{59.7, "0:01:00"},
           Case{3599.5, "1:00:00"},
           Case{36000, "10:00:00"},
           Case{360000, "100:00:00"},
           Case{-5, "0:00:00"},
           Case{std::nan(""), "0:00:00"},
       }) {
    EXPECT_EQ(SecondsToTime(c.seconds), c.text) << c.seconds;
  }
}

class AddToLibraryTest : public ::testing::Test {
 protected:
  // The status texts shown so far, in order.
  Names Shown() const {
    Names texts;
    for (const std::string& line : log_.Lines())
      texts.push_back(line.substr(std::string("t : ").size()));
    return texts;
  }
  Table Row(const char* cls, const char* path, const char* name) {
    Table expected(4, 1);
    AddRowTo(expected, cls, path, name);
    return expected;
  }
  static void AddRowTo(Table& table, const char* cls, const char* path, const char* name) {
    int row = table.RowCount() - 1;
    if (!table.Cell(LibraryColumn::kPath, row).empty()) {
      table.AddRow();
      ++row;
    }
    table.SetCell(LibraryColumn::kClass, row, cls);
    table.SetCell(LibraryColumn::kPath, row, path);
    table.SetCell(LibraryColumn::kName, row, name);
    table.SetCell(LibraryColumn::kDuration, row, "1:01:40");
  }

  ActivityLog log_{[] { return "t"; }};
  StatusBoard status_{log_};
  Table libraryTable_{4, 1};
};

TEST_F(AddToLibraryTest, FirstFileFillsRowZeroAndLaterOnesAppend) {
  AddToLibrary(libraryTable_, "MOVIE", "/v/Holiday.mp4", 3, 1, status_);
  EXPECT_EQ(libraryTable_, Row("MOVIE", "/v/Holiday.mp4", "Holiday.mp4"));
  AddToLibrary(libraryTable_, "TV", "/w/Show S01E01.mp4", 3, 3, status_);

  Table expected = Row("MOVIE", "/v/Holiday.mp4", "Holiday.mp4");
  AddRowTo(expected, "TV", "/w/Show S01E01.mp4", "Show S01E01.mp4");
  EXPECT_EQ(libraryTable_, expected);
  EXPECT_EQ(Shown(), (Names{"Holiday.mp4 (1 of 3)", "Show S01E01.mp4 (3 of 3)"}));
  EXPECT_EQ(status_.Text(), "Show S01E01.mp4 (3 of 3)");
}

TEST_F(AddToLibraryTest, ExactSamePathIsSkippedSilentlyButOtherCaseIsAdded) {
  AddToLibrary(libraryTable_, "MOVIE", "/v/a.mp4", 1, 1, status_);
  const Table once = libraryTable_;
  status_.Clear();

  AddToLibrary(libraryTable_, "MOVIE", "/v/a.mp4", 5, 2, status_);
  EXPECT_EQ(libraryTable_, once);
  EXPECT_EQ(status_.Text(), "");
  EXPECT_EQ(Shown(), Names{"a.mp4 (1 of 1)"});

  AddToLibrary(libraryTable_, "MOVIE", "/v/A.mp4", 5, 3, status_);
  EXPECT_EQ(libraryTable_.RowCount(), 2);
  EXPECT_EQ(libraryTable_.Cell(LibraryColumn::kPath, 1), "/v/A.mp4");
}

TEST_F(AddToLibraryTest, SameNameInAnotherFolderIsAnotherRow) {
  AddToLibrary(libraryTable_, "MOVIE", "/v/a.mp4", 2, 1, status_);
  AddToLibrary(libraryTable_, "MOVIE", "/w/a.mp4", 2, 2, status_);
  Table expected = Row("MOVIE", "/v/a.mp4", "a.mp4");
  AddRowTo(expected, "MOVIE", "/w/a.mp4", "a.mp4");
  EXPECT_EQ(libraryTable_, expected);
}

TEST_F(AddToLibraryTest, LastRowWithoutPathIsReused) {
  AddToLibrary(libraryTable_, "MOVIE", "/v/a.mp4", 2, 1, status_);
  libraryTable_.AddRow();
  libraryTable_.SetCell(LibraryColumn::kClass, 1,
                        "TV");  // a class but no path: still counts as unused
  AddToLibrary(libraryTable_, "MOVIE", "/v/b.mp4", 2, 2, status_);
  EXPECT_EQ(libraryTable_.RowCount(), 2);
  EXPECT_EQ(libraryTable_.Cell(LibraryColumn::kClass, 1), "MOVIE");
  EXPECT_EQ(libraryTable_.Cell(LibraryColumn::kName, 1), "b.mp4");
}

TEST_F(AddToLibraryTest, NarrowTableIsWidenedInsteadOfLosingColumns) {
  Table narrow(1, 1);  // e.g. loaded from a file with a column count of 0
  AddToLibrary(narrow, "MOVIE", "/v/a.mp4", 1, 1, status_);
  EXPECT_EQ(narrow, Row("MOVIE", "/v/a.mp4", "a.mp4"));
}

// Rows: Holiday (MOVIE), Show (TV), unused row, Été (MOVIE).
Table MixedLibrary() {
  Table table(4, 4);
  const char* rows[][3] = {{"MOVIE", "/v/Holiday.mp4", "Holiday.mp4"},
                           {"TV", "/t/The Show.mp4", "The Show.mp4"},
                           {"", "", ""},
                           {"MOVIE", "/v/Un été à Paris.mp4", "Un été à Paris.mp4"}};
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 3; ++col) table.SetCell(col, row, rows[row][col]);
  }
  return table;
}

TEST(LibraryListTest, FilterPicksRowsByClass) {
  struct Case {
    const char* filter;
    Names items;
    const char* status;
  };
  for (const Case& c : {
           Case{"_", {"Holiday.mp4", "The Show.mp4", "Un été à Paris.mp4"}, "3 items"},
           Case{"MOVIE", {"Holiday.mp4", "Un été à Paris.mp4"}, "2 items"},
           Case{"TV", {"The Show.mp4"}, "1 item"},
           Case{"", {""}, "1 item"},
           Case{"movie", {}, "0 items"},
       }) {
    const ListResult result = LibraryList(MixedLibrary(), c.filter);
    EXPECT_EQ(result.items, c.items) << c.filter;
    EXPECT_EQ(result.status, c.status) << c.filter;
  }
}

TEST(SearchLibraryTest, MatchesNameStartsAndInsidesIgnoringLetterCase) {
  const Names all{"Holiday.mp4", "The Show.mp4", "", "Un été à Paris.mp4"};
  struct Case {
    const char* text;
    Names items;
  };
  for (const Case& c : {
           Case{"", all},
           Case{"x", all},
           Case{"é", all},  // one character, two bytes
           Case{"ho", {"Holiday.mp4", "The Show.mp4"}},
           Case{" ho", {"Holiday.mp4"}},
           Case{" SH", {"The Show.mp4"}},
           Case{"ÉTÉ", {"Un été à Paris.mp4"}},  // letters beyond ASCII fold as people read them
           Case{" UN ÉTÉ À", {"Un été à Paris.mp4"}},
           Case{"été", {"Un été à Paris.mp4"}},
           Case{" été", {"Un été à Paris.mp4"}},
           Case{".MP4", {"Holiday.mp4", "The Show.mp4", "Un été à Paris.mp4"}},
           Case{"zz", {}},
       }) {
    const ListResult result = SearchLibrary(MixedLibrary(), c.text);
    EXPECT_EQ(result.items, c.items) << c.text;
    EXPECT_EQ(result.status, ItemCountStatus(c.items.size())) << c.text;
  }
}

TEST(ItemCountStatusTest, OnlyOneIsSingular) {
  EXPECT_EQ(ItemCountStatus(0), "0 items");
  EXPECT_EQ(ItemCountStatus(1), "1 item");
  EXPECT_EQ(ItemCountStatus(2), "2 items");
}

class RemoveFromLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* rows[][3] = {{"MOVIE", "/v/a.mp4", "a.mp4"},
                             {"MOVIE", "/v/b.mp4", "b.mp4"},
                             {"TV", "/w/a.mp4", "a.mp4"},
                             {"MOVIE", "/v/c.mp4", "c.mp4"}};
    libraryTable_ = Table(4, 4);
    for (int row = 0; row < 4; ++row) {
      for (int col = 0; col < 3; ++col) libraryTable_.SetCell(col, row, rows[row][col]);
    }
    // Name and page columns that happen to equal a file name are not slots.
    const char* lists[][5] = {{"Favorites", "", "a.mp4", "b.mp4", "a.mp4"},
                              {"a.mp4", "a.mp4", "", "c.mp4", "a.mp4"}};
    playlistTable_ = Table(5, 2);
    for (int row = 0; row < 2; ++row) {
      for (int col = 0; col < 5; ++col) playlistTable_.SetCell(col, row, lists[row][col]);
    }
  }

  Names Column(const Table& table, int col) {
    Names cells;
    for (int row = 0; row < table.RowCount(); ++row) cells.push_back(table.Cell(col, row));
    return cells;
  }

  Table libraryTable_;
  Table playlistTable_;
};

TEST_F(RemoveFromLibraryTest, RemovesEveryRowOfTheNameAndEmptiesItsSlots) {
  RemoveFromLibrary(libraryTable_, playlistTable_, {"a.mp4"});
  EXPECT_EQ(Column(libraryTable_, 1), (Names{"/v/b.mp4", "/v/c.mp4"}));
  EXPECT_EQ(Column(libraryTable_, 0), (Names{"MOVIE", "MOVIE"}));
  EXPECT_EQ(Column(playlistTable_, 0), (Names{"Favorites", "a.mp4"}));
  EXPECT_EQ(Column(playlistTable_, 1), (Names{"", "a.mp4"}));
  EXPECT_EQ(Column(playlistTable_, 2), (Names{"", ""}));
  EXPECT_EQ(Column(playlistTable_, 3), (Names{"b.mp4", "c.mp4"}));
  EXPECT_EQ(Column(playlistTable_, 4), (Names{"", ""}));
}

TEST_F(RemoveFromLibraryTest, RemovingEverythingLeavesOneEmptyRow) {
  RemoveFromLibrary(libraryTable_, playlistTable_, {"c.mp4", "a.mp4", "b.mp4", "not there.mp4"});
  EXPECT_EQ(libraryTable_, Table(4, 1));
  for (int col = 2; col < 5; ++col) EXPECT_EQ(Column(playlistTable_, col), (Names{"", ""})) << col;
}

}  // namespace
}  // namespace vidoria
