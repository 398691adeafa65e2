#include "site/playlist_pages.h"

#include <string>

#include <gtest/gtest.h>

#include "site/item_line.h"
#include "site/markup.h"
#include "site/playlists_page.h"
#include "site/site_test_helpers.h"

namespace vidoria {
namespace {

using testing::AllExist;
using testing::CrLfLines;
using testing::ExistingOnly;
using testing::TableOf;

class PlaylistPagesTest : public ::testing::Test {
 protected:
  const Table grid_ = TableOf({{"MOVIE", "/v/b.mp4", "b.mp4"},
                               {"TV", "/v/A.mp4", "A.mp4"},
                               {"MOVIE", "/gone/c.mp4", "c.mp4"}});
  const FileExists exists_ = ExistingOnly({"/v/b.mp4", "/v/A.mp4"});

  PlaylistPage Generate(const Table& playlistTable, int row) {
    return PlaylistPageOf(playlistTable, row, LibraryByName(grid_), exists_);
  }
};

std::string Page(std::string_view title, const std::string& items) {
  return HeaderBlock() +
         TitleBox(R"(<a href="/">Home</a> - <a href="/playlists.html">Playlists</a> - )" +
                  std::string(title)) +
         items + BackBox() + FooterBlock();
}

TEST_F(PlaylistPagesTest, ListsItemsInNameOrderAndRepeatsRepeatedOnes) {
  const Table playlistTable = TableOf({{"Trip", "", "b.mp4", "", "A.mp4", "b.mp4"}});
  const PlaylistPage out = Generate(playlistTable, 0);
  const std::string a = ItemLine("TV", "A.mp4"), b = ItemLine("MOVIE", "b.mp4");
  EXPECT_EQ(out.page, Page("Trip", a + b + b));
  EXPECT_EQ(out.listFile, CrLfLines({"/Trip*A.mp4", "/Trip*b.mp4", "/Trip*b.mp4"}));
}

// A missing file still gets its list line (lists are not checked against the disk); an item the
// library does not know gets nothing; a cell of blanks is an item that matches no file.
TEST_F(PlaylistPagesTest, MissingAndUnknownItems) {
  const Table playlistTable = TableOf({{"Mix", "", "c.mp4", "unknown.mp4", "  ", "A.mp4"}});
  const PlaylistPage out = Generate(playlistTable, 0);
  EXPECT_EQ(out.page, Page("Mix", ItemLine("TV", "A.mp4")));
  EXPECT_EQ(out.listFile, CrLfLines({"/Mix*A.mp4", "/Mix*c.mp4"}));
}

TEST_F(PlaylistPagesTest, EmptyPlaylistHasABarePageAndAnEmptyListFile) {
  const Table playlistTable = TableOf({{"Empty"}, {"", "old page"}});
  EXPECT_EQ(Generate(playlistTable, 0).page, Page("Empty", ""));
  EXPECT_EQ(Generate(playlistTable, 0).listFile, "");
  EXPECT_EQ(Generate(playlistTable, 1).page, Page("", ""));  // a row without a name
  EXPECT_EQ(Generate(playlistTable, 5).page, Page("", ""));  // outside the table
}

TEST_F(PlaylistPagesTest, NamesAreEscapedInTheTitleAndKeptInListLines) {
  const Table playlistTable = TableOf({{"Tom & <Jerry>", "", "A.mp4"}, {"Best*Of", "", "A.mp4"}});
  EXPECT_EQ(Generate(playlistTable, 0).page,
            Page("Tom &amp; &lt;Jerry&gt;", ItemLine("TV", "A.mp4")));
  EXPECT_EQ(Generate(playlistTable, 0).listFile, CrLfLines({"/Tom & <Jerry>*A.mp4"}));
  // The server looks up what follows the first '*' only.
  EXPECT_EQ(Generate(playlistTable, 1).listFile, CrLfLines({"/Best%2AOf*A.mp4"}));
}

TEST_F(PlaylistPagesTest, GenerateStoresPageAndListFileInTheRowsOwnCells) {
  // Two playlists share a name, one is named like the library's list: each keeps its own.
  Table playlistTable =
      TableOf({{"Trip", "", "A.mp4"}, {"Trip", "", "b.mp4"}, {"library", "", "b.mp4"}});
  Table listFileTable(4, 1);
  PageBuffers pages;
  pages.Set(page::kLibraryList, "library list");
  for (int row = 0; row < 3; ++row) {
    GeneratePlayList(row, playlistTable, listFileTable, grid_, exists_, pages);
  }
  EXPECT_EQ(listFileTable.RowCount(), 3);
  EXPECT_EQ(listFileTable.Cell(ListFileColumn::kListFile, 0), CrLfLines({"/Trip*A.mp4"}));
  EXPECT_EQ(listFileTable.Cell(ListFileColumn::kListFile, 1), CrLfLines({"/Trip*b.mp4"}));
  EXPECT_EQ(listFileTable.Cell(ListFileColumn::kListFile, 2), CrLfLines({"/library*b.mp4"}));
  EXPECT_EQ(*pages.Get(page::kLibraryList), "library list");
  EXPECT_EQ(playlistTable.Cell(PlaylistColumn::kPage, 1), Page("Trip", ItemLine("MOVIE", "b.mp4")));
  EXPECT_EQ(*pages.Get(page::kListList),
            CrLfLines({"/list.txt&library", "/list.txt&movies", "/list.txt&tvshows",
                       "/list.txt&Trip", "/list.txt&Trip", "/list.txt&library"}));
}

TEST_F(PlaylistPagesTest, ListFilesFollowTheirPlaylistsWhenARowIsDeleted) {
  Table playlistTable =
      TableOf({{"One", "", "A.mp4"}, {"Two", "", "b.mp4"}, {"Three", "", "c.mp4"}});
  Table listFileTable(4, 1);
  PageBuffers pages;
  GenerateEveryPlayList(playlistTable, listFileTable, grid_, exists_, pages);
  DeleteGridRow(playlistTable, 1);
  DeleteGridRow(listFileTable, 1);
  GeneratePlayList(0, playlistTable, listFileTable, grid_, exists_, pages);
  EXPECT_EQ(listFileTable.RowCount(), 2);
  EXPECT_EQ(listFileTable.Cell(ListFileColumn::kListFile, 1), CrLfLines({"/Three*c.mp4"}));
}

TEST_F(PlaylistPagesTest, NarrowTablesAreWidenedForTheGeneratedCells) {
  Table playlistTable(1, 2);
  playlistTable.SetCell(PlaylistColumn::kName, 1, "Solo");
  Table listFileTable(1, 1);
  PageBuffers pages;
  GeneratePlayList(1, playlistTable, listFileTable, grid_, exists_, pages);
  EXPECT_EQ(playlistTable.Cell(PlaylistColumn::kPage, 1), Page("Solo", ""));
  EXPECT_EQ(listFileTable.RowCount(), 2);
  EXPECT_EQ(listFileTable.ColCount(), 4);
  GeneratePlayList(7, playlistTable, listFileTable, grid_, exists_,
                   pages);  // no such row: no change
  EXPECT_EQ(playlistTable.RowCount(), 2);
}

constexpr std::string_view kPlaylistsTitle =
    R"(<div class="boxtop"><div class="boxhead"><h2><a href="/">Home</a> - Playlists</h2></div></div>)";

TEST(PlaylistsPageTest, ListsNamedPlaylistsThatHaveItems) {
  const Table playlistTable = TableOf({{"Favorites", "page", "a.mp4"},
                                       {"Blanks", "", " ", "\t", ""},
                                       {"", "", "a.mp4"},
                                       {"Empty"},
                                       {"My Trip", "", "", "", "x"}});
  EXPECT_EQ(
      PlaylistsPage(playlistTable),
      HeaderBlock() +
          CrLfLines({
              kPlaylistsTitle,
              R"(<div class="obj"><table width="100%"><tr><td width="34px" align="center" valign="middle"<a href="/list&Favorites" ><img src="/kavra/playlist.png"></a></td><td><a href="/list&Favorites">Favorites</a></td></tr></table></div>)",
              R"(<div class="obj"><table width="100%"><tr><td width="34px" align="center" valign="middle"<a href="/list&My%20Trip" ><img src="/kavra/playlist.png"></a></td><td><a href="/list&My%20Trip">My Trip</a></td></tr></table></div>)",
          }) +
          BackBox() + FooterBlock());
}

TEST(PlaylistsPageTest, EscapesNamesAndKeepsTheirLinksIntact) {
  const Table playlistTable = TableOf({{R"(Tom & "Jerry")", "", "a"}, {"not seen", "", "a"}});
  const std::string page = PlaylistsPage(playlistTable);
  EXPECT_NE(
      page.find(
          R"(<a href="/list&Tom%20%26%20%22Jerry%22" ><img src="/kavra/playlist.png"></a></td><td><a href="/list&Tom%20%26%20%22Jerry%22">Tom &amp; &quot;Jerry&quot;</a>)"),
      std::string::npos);
  EXPECT_NE(page.find(R"(<a href="/list&%6Eot%20seen">not seen</a>)"), std::string::npos);
}

TEST(PlaylistsPageTest, GenerateStoresThePage) {
  PageBuffers pages;
  const Table playlistTable = TableOf({{"Favorites", "", "a.mp4"}});
  GeneratePlayLists(playlistTable, pages);
  EXPECT_EQ(*pages.Get(page::kPlaylists), PlaylistsPage(playlistTable));
}

}  // namespace
}  // namespace vidoria
