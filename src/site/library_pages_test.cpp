#include "site/library_pages.h"

#include <string>

#include <gtest/gtest.h>

#include "site/item_line.h"
#include "site/markup.h"
#include "site/site_test_helpers.h"

namespace vidoria {
namespace {

using testing::AllExist;
using testing::CrLfLines;
using testing::ExistingOnly;
using testing::TableOf;

constexpr std::string_view kLibraryTitle =
    R"(<div class="boxtop"><div class="boxhead"><h2><a href="/">Home</a> - <a href="/library.html">Library</a> - Entire collection</h2></div></div>)";
constexpr std::string_view kMovieTitle =
    R"(<div class="boxtop"><div class="boxhead"><h2><a href="/">Home</a> - <a href="/library.html">Library</a> - Movie collection</h2></div></div>)";
constexpr std::string_view kTvTitle =
    R"(<div class="boxtop"><div class="boxhead"><h2><a href="/">Home</a> - <a href="/library.html">Library</a> - TV Show collection</h2></div></div>)";

std::string Page(std::string_view title, std::initializer_list<std::string_view> entries) {
  std::string page = HeaderBlock() + CrLfLines({title}) + CrLfLines(entries);
  return page + BackBox() + FooterBlock();
}

// The file names in the links of a page, in page order.
std::vector<std::string> Linked(const std::string& page) {
  std::vector<std::string> names;
  const std::string marker = R"(<td><a href="/)";
  for (size_t at = page.find(marker); at != std::string::npos; at = page.find(marker, at + 1)) {
    const size_t start = at + marker.size();
    names.push_back(page.substr(start, page.find('"', start) - start));
  }
  return names;
}

TEST(ItemLineTest, IsByteExactForAPlainName) {
  EXPECT_EQ(
      ItemLine("MOVIE", "Holiday.mp4"),
      R"(<div class="obj"><table width="100%"><tr><td width="34px" align="center" valign="middle"<a href="/Holiday.mp4" type="video/mp4"><img src="/kavra/movie.png"></a></td><td><a href="/Holiday.mp4" type="video/mp4">Holiday</a></td></tr></table></div>)"
      "\r\n");
}

TEST(ItemLineTest, EscapesNamesInTextsAndEncodesThemInLinks) {
  const struct {
    std::string_view className, fileName, href, icon, title;
  } cases[] = {
      {"TV", R"(Tom & "Jerry" <1>.mp4)", "Tom%20%26%20%22Jerry%22%20%3C1%3E.mp4", "tv",
       "Tom &amp; &quot;Jerry&quot; &lt;1&gt;"},
      {"MOVIE", "#1 100%.mp4", "%231%20100%25.mp4", "movie", "#1 100%"},
      {"MOVIE", "Café 日本.mp4", "Caf%C3%A9%20%E6%97%A5%E6%9C%AC.mp4", "movie", "Café 日本"},
      {"MOVIE", "it's.mp4", "it%27s.mp4", "movie", "it&#39;s"},
      {"Odd Class", "x.mp4", "x.mp4", "odd%20class", "x"},
      {"", "", "", "", ""},
      {"TV", "abcd", "abcd", "tv", ""},  // four characters: no link text
  };
  for (const auto& c : cases) {
    const std::string href = std::string(c.href);
    EXPECT_EQ(ItemLine(c.className, c.fileName),
              std::string(kEntryStart) + "/" + href + R"(" type="video/mp4"><img src="/kavra/)" +
                  std::string(c.icon) + R"(.png"></a></td><td><a href="/)" + href +
                  R"(" type="video/mp4">)" + std::string(c.title) + "</a>" +
                  std::string(kEntryEnd) + "\r\n")
        << c.fileName;
  }
}

TEST(LibraryPagesTest, ListsCollectionsWholeAndByClass) {
  const Table grid = TableOf({{"MOVIE", "/v/b.mp4", "b.mp4"},
                              {"TV", "/v/A.mp4", "A.mp4"},
                              {"MOVIE", "/v/c.mp4", "c.mp4"},
                              {"Music", "/v/d.mp4", "d.mp4"}});
  const LibraryPages pages = LibraryPagesOf(grid, Table(), AllExist);
  const std::string a = ItemLine("TV", "A.mp4"), b = ItemLine("MOVIE", "b.mp4"),
                    c = ItemLine("MOVIE", "c.mp4"), d = ItemLine("Music", "d.mp4");
  auto chomp = [](const std::string& line) { return line.substr(0, line.size() - 2); };
  EXPECT_EQ(pages.library, Page(kLibraryTitle, {chomp(a), chomp(b), chomp(c), chomp(d)}));
  EXPECT_EQ(pages.movies, Page(kMovieTitle, {chomp(b), chomp(c)}));
  EXPECT_EQ(pages.tvShows, Page(kTvTitle, {chomp(a)}));
  EXPECT_NE(d.find(R"(<img src="/kavra/music.png">)"), std::string::npos);

  EXPECT_EQ(pages.libraryList,
            CrLfLines({"/library*A.mp4", "/library*b.mp4", "/library*c.mp4", "/library*d.mp4"}));
  EXPECT_EQ(pages.moviesList, CrLfLines({"/movies*b.mp4", "/movies*c.mp4"}));
  EXPECT_EQ(pages.tvShowsList, CrLfLines({"/tvshows*A.mp4"}));
  EXPECT_EQ(pages.music, "");
  EXPECT_EQ(pages.musicList, "");
}

TEST(LibraryPagesTest, ListFileNamesOnlyTheFilesNotTheirFolders) {
  const Table grid = TableOf({{"MOVIE", R"(C:\Films\A.mp4)", "A.mp4"},
                              {"MOVIE", R"(D:\B.mp4)", "B.mp4"},
                              {"MOVIE", "/gone/C.mp4", "C.mp4"}});
  const LibraryPages pages =
      LibraryPagesOf(grid, Table(), ExistingOnly({R"(C:\Films\A.mp4)", R"(D:\B.mp4)"}));
  EXPECT_EQ(pages.libraryList, CrLfLines({"/library*A.mp4", "/library*B.mp4"}));
  EXPECT_EQ(Linked(pages.library), (std::vector<std::string>{"A.mp4", "B.mp4"}));
}

TEST(LibraryPagesTest, ListOfListsNamesTheCollectionsThenEveryPlaylist) {
  const Table playlistTable = TableOf({{"Favorites"}, {"Trip"}});
  EXPECT_EQ(LibraryPagesOf(Table(4, 1), playlistTable, AllExist).listList,
            CrLfLines({"/list.txt&library", "/list.txt&movies", "/list.txt&tvshows",
                       "/list.txt&Favorites", "/list.txt&Trip"}));
  // Rows without a name are named too; a line break in a name cannot split a line.
  EXPECT_EQ(LibraryPagesOf(Table(4, 1), TableOf({{""}, {"a\nb"}}), AllExist).listList,
            CrLfLines({"/list.txt&library", "/list.txt&movies", "/list.txt&tvshows", "/list.txt&",
                       "/list.txt&a%0Ab"}));
}

TEST(LibraryPagesTest, EmptyLibraryGivesPagesWithoutEntries) {
  const LibraryPages pages = LibraryPagesOf(Table(4, 1), TableOf({{"Favorites"}}), AllExist);
  EXPECT_EQ(pages.library, Page(kLibraryTitle, {}));
  EXPECT_EQ(pages.movies, Page(kMovieTitle, {}));
  EXPECT_EQ(pages.tvShows, Page(kTvTitle, {}));
  EXPECT_EQ(pages.libraryList, "");
  EXPECT_EQ(pages.moviesList, "");
  EXPECT_EQ(pages.listList, CrLfLines({"/list.txt&library", "/list.txt&movies", "/list.txt&tvshows",
                                       "/list.txt&Favorites"}));
}

// Rows that share a file name are joined once per sorted entry of that name: a missing one shows
// through a present one, and two present ones give four lines.
TEST(LibraryPagesTest, RowsSharingANameAreJoinedPerEntry) {
  const Table grid = TableOf({{"MOVIE", "/a/x.mp4", "x.mp4"},
                              {"TV", "/b/x.mp4", "x.mp4"},
                              {"MOVIE", "/c/y.mp4", "y.mp4"},
                              {"MOVIE", "/d/y.mp4", "y.mp4"}});
  const LibraryPages pages =
      LibraryPagesOf(grid, Table(), ExistingOnly({"/a/x.mp4", "/c/y.mp4", "/d/y.mp4"}));
  EXPECT_EQ(Linked(pages.library),
            (std::vector<std::string>{"x.mp4", "x.mp4", "y.mp4", "y.mp4", "y.mp4", "y.mp4"}));
  EXPECT_EQ(Linked(pages.tvShows), (std::vector<std::string>{"x.mp4"}));
  EXPECT_EQ(Linked(pages.movies),
            (std::vector<std::string>{"x.mp4", "y.mp4", "y.mp4", "y.mp4", "y.mp4"}));
}

TEST(LibraryPagesTest, SortsWithoutLetterCaseAndNonAsciiAfterAscii) {
  const Table grid = TableOf({{"MOVIE", "/1", "b.mp4"},
                              {"MOVIE", "/2", "Émile.mp4"},
                              {"MOVIE", "/3", "A.mp4"},
                              {"MOVIE", "/4", "a.mp4"},
                              {"MOVIE", "/5", "Zoo.mp4"},
                              {"MOVIE", "/6", "10.mp4"}});
  EXPECT_EQ(
      Linked(LibraryPagesOf(grid, Table(), AllExist).library),
      (std::vector<std::string>{"10.mp4", "A.mp4", "a.mp4", "b.mp4", "Zoo.mp4", "%C3%89mile.mp4"}));
}

TEST(LibraryPagesTest, GenerateLibraryFillsEveryBuffer) {
  PageBuffers pages;
  pages.Set(page::kMusic, "stale");
  const Table grid = TableOf({{"MOVIE", "/v/a.mp4", "a.mp4"}, {"TV", "/v/b.mp4", "b.mp4"}});
  const Table playlistTable = TableOf({{"Favorites"}});
  GenerateLibrary(grid, playlistTable, AllExist, pages);
  const LibraryPages expected = LibraryPagesOf(grid, playlistTable, AllExist);
  const std::pair<std::string_view, const std::string*> buffers[] = {
      {page::kLibrary, &expected.library},         {page::kMovies, &expected.movies},
      {page::kTvShows, &expected.tvShows},         {page::kMusic, &expected.music},
      {page::kLibraryList, &expected.libraryList}, {page::kMoviesList, &expected.moviesList},
      {page::kTvShowsList, &expected.tvShowsList}, {page::kMusicList, &expected.musicList},
      {page::kListList, &expected.listList}};
  for (auto [name, text] : buffers) EXPECT_EQ(*pages.Get(name), *text) << name;
}

}  // namespace
}  // namespace vidoria
