#include "site/name_join.h"

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "library/list_order.h"
#include "site/item_line.h"
#include "site/library_pages.h"
#include "site/list_files.h"
#include "site/markup.h"
#include "site/playlist_pages.h"
#include "site/site_test_helpers.h"

namespace vidoria {
namespace {

// The join as the pages were first written: the whole table walked once per sorted entry.
std::vector<int> QuadraticJoin(std::vector<std::string> sortedNames, const Table& table,
                               int column) {
  std::vector<int> rows;
  for (const std::string& name : sortedNames) {
    for (int row = 0; row < table.RowCount(); ++row) {
      if (table.Cell(column, row) == name) rows.push_back(row);
    }
  }
  return rows;
}

// The part of a page after its title box: the entries and the closing blocks.
std::string AfterTitle(const std::string& page) {
  const std::string titleEnd = "</h2></div></div>\r\n";
  return page.substr(page.find(titleEnd) + titleEnd.size());
}

// Few distinct names, differing in case and in non-ASCII bytes, so that rows share names often;
// the long ones share their first eight bytes (or all but the case of them) and differ after.
const std::vector<std::string> kNames = {"a.mp4",
                                         "A.mp4",
                                         "b.mp4",
                                         "B.MP4",
                                         "é.mp4",
                                         "É.mp4",
                                         "",
                                         " ",
                                         "ab",
                                         "a",
                                         "zz",
                                         "Zz",
                                         "holiday 1.mp4",
                                         "Holiday 1.mp4",
                                         "holiday 10.mp4",
                                         "holiday 1.MP4",
                                         "holiday é.mp4"};

struct RandomLibrary {
  Table libraryTable;
  std::set<std::string> present;
};

RandomLibrary MakeLibrary(std::mt19937& random, int rows) {
  RandomLibrary library{Table(4, std::max(rows, 1)), {}};
  for (int row = 0; row < library.libraryTable.RowCount(); ++row) {
    const std::string& name = kNames[random() % kNames.size()];
    const std::string path = "/v" + std::to_string(row) + "/" + name;
    library.libraryTable.SetCell(LibraryColumn::kClass, row,
                                 random() % 3 == 0 ? "TV"
                                 : random() % 2    ? "MOVIE"
                                                   : "Other");
    library.libraryTable.SetCell(LibraryColumn::kPath, row, path);
    library.libraryTable.SetCell(LibraryColumn::kName, row, name);
    if (random() % 4 != 0) library.present.insert(path);
  }
  return library;
}

TEST(NameJoinTest, RowsAreFoundByExactNameInTableOrder) {
  const Table table = testing::TableOf({{"x", "b"}, {"x", "a"}, {"x", "B"}, {"x", "b"}});
  const RowsByName rows(table, 1);
  auto found = [&](std::string_view name) {
    const auto span = rows.Rows(name);
    return std::vector<int>(span.begin(), span.end());
  };
  EXPECT_EQ(found("b"), (std::vector<int>{0, 3}));
  EXPECT_EQ(found("B"), (std::vector<int>{2}));
  EXPECT_EQ(found("c"), (std::vector<int>{}));
  EXPECT_EQ(found(""), (std::vector<int>{}));
}

TEST(NameJoinTest, MatchesTheQuadraticJoinOnRandomTables) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    const RandomLibrary library = MakeLibrary(random, static_cast<int>(random() % 60));
    std::vector<std::string> names;
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) names.push_back(kNames[random() % kNames.size()]);
    names.push_back("absent.mp4");

    std::vector<std::string_view> views(names.begin(), names.end());
    SortNames(views);
    std::vector<std::string> sorted(views.begin(), views.end());
    std::vector<std::string> oracleSorted = names;
    std::stable_sort(
        oracleSorted.begin(), oracleSorted.end(),
        [](const std::string& a, const std::string& b) { return ListOrderLess(a, b); });
    ASSERT_EQ(sorted, oracleSorted);

    EXPECT_EQ(JoinNames(views, RowsByName(library.libraryTable, 2)),
              QuadraticJoin(sorted, library.libraryTable, 2));
  }
}

// The generated texts, not just the rows: the library pages and a playlist's page and list file
// built from the quadratic join are the same bytes.
TEST(NameJoinTest, PagesMatchThoseOfTheQuadraticJoin) {
  std::mt19937 random(11);
  for (int round = 0; round < 100; ++round) {
    const RandomLibrary library = MakeLibrary(random, 1 + static_cast<int>(random() % 40));
    const Table& grid = library.libraryTable;
    const FileExists exists = testing::ExistingOnly(library.present);

    std::vector<std::string> presentNames;
    for (int row = 0; row < grid.RowCount(); ++row) {
      if (exists(grid.Cell(LibraryColumn::kPath, row)))
        presentNames.push_back(grid.Cell(LibraryColumn::kName, row));
    }
    std::stable_sort(
        presentNames.begin(), presentNames.end(),
        [](const std::string& a, const std::string& b) { return ListOrderLess(a, b); });
    std::string libraryItems, movieItems, libraryList;
    for (int row : QuadraticJoin(presentNames, grid, 2)) {
      libraryItems +=
          ItemLine(grid.Cell(LibraryColumn::kClass, row), grid.Cell(LibraryColumn::kName, row));
      if (grid.Cell(LibraryColumn::kClass, row) == "MOVIE")
        movieItems +=
            ItemLine(grid.Cell(LibraryColumn::kClass, row), grid.Cell(LibraryColumn::kName, row));
      libraryList += ListLine("library", grid.Cell(LibraryColumn::kName, row));
    }
    const LibraryPages pages = LibraryPagesOf(grid, Table(), exists);
    EXPECT_EQ(AfterTitle(pages.library), libraryItems + BackBox() + FooterBlock());
    EXPECT_EQ(AfterTitle(pages.movies), movieItems + BackBox() + FooterBlock());
    EXPECT_EQ(pages.libraryList, libraryList);

    Table playlistTable(6, 1);
    playlistTable.SetCell(PlaylistColumn::kName, 0, "P");
    std::vector<std::string> items;
    for (int col = 2; col < 6; ++col) {
      const std::string& item = kNames[random() % kNames.size()];
      playlistTable.SetCell(col, 0, item);
      if (!item.empty()) items.push_back(item);
    }
    std::stable_sort(items.begin(), items.end(), [](const std::string& a, const std::string& b) {
      return ListOrderLess(a, b);
    });
    std::string playlistItems, playlistList;
    for (int row : QuadraticJoin(items, grid, 2)) {
      playlistList += ListLine("P", grid.Cell(LibraryColumn::kName, row));
      if (exists(grid.Cell(LibraryColumn::kPath, row)))
        playlistItems +=
            ItemLine(grid.Cell(LibraryColumn::kClass, row), grid.Cell(LibraryColumn::kName, row));
    }
    const PlaylistPage playlist = PlaylistPageOf(playlistTable, 0, LibraryByName(grid), exists);
    EXPECT_EQ(AfterTitle(playlist.page), playlistItems + BackBox() + FooterBlock());
    EXPECT_EQ(playlist.listFile, playlistList);
  }
}

}  // namespace
}  // namespace vidoria
