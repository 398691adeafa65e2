#include "upnp/media_tree.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "library/table_layouts.h"
#include "site/library_pages.h"
#include "site/playlist_pages.h"
#include "site/site_test_helpers.h"

namespace vidoria {
namespace {

using testing::TableOf;

// Files that exist, with their sizes.
FileSizeCheck Files(std::map<std::string, int64_t> files) {
  return [files = std::move(files)](const std::string& path) -> std::optional<int64_t> {
    const auto at = files.find(path);
    if (at == files.end()) return std::nullopt;
    return at->second;
  };
}

// The video links of a page's entries, in order (each entry links its icon and its title; the
// title's link is taken).
std::vector<std::string> PageLinks(const std::string& page) {
  static const std::regex kLink("<td><a href=\"([^\"]*)\" type=\"video/mp4\">");
  std::vector<std::string> links;
  for (std::sregex_iterator it(page.begin(), page.end(), kLink), end; it != end; ++it) {
    links.push_back((*it)[1]);
  }
  return links;
}

std::vector<std::string> TreeLinks(const MediaContainer& container) {
  std::vector<std::string> links;
  for (const MediaItem& item : container.items) links.push_back(item.videoHref);
  return links;
}

// The table with `row` in front of its rows.
Table WithFirstRow(const Table& table, const std::vector<std::string>& row) {
  std::vector<std::vector<std::string>> rows{row};
  for (int r = 0; r < table.RowCount(); ++r) {
    rows.emplace_back();
    for (int c = 0; c < table.ColCount(); ++c) rows.back().push_back(table.Cell(c, r));
  }
  return TableOf(rows);
}

class MediaTreeTest : public ::testing::Test {
 protected:
  // Class, path, name. "gone.mp4" is missing; "Tom & Jerry <1>.mp4" shares its name with a
  // second row in another folder; "odd.avi" has no class.
  const Table library_ = TableOf({
      {"MOVIE", "/m/Zulu.mp4", "Zulu.mp4"},
      {"TV", "/t/Tom & Jerry <1>.mp4", "Tom & Jerry <1>.mp4"},
      {"MOVIE", "/m/Amélie.mp4", "Amélie.mp4"},
      {"MOVIE", "/m/gone.mp4", "gone.mp4"},
      {"", "/o/odd.avi", "odd.avi"},
      {"TV", "/t2/Tom & Jerry <1>.mp4", "Tom & Jerry <1>.mp4"},
      {"TV", "/t/alpha.mp4", "alpha.mp4"},
  });
  const Table playlists_ = TableOf({
      {"Favorites", "", "Zulu.mp4", "alpha.mp4"},
      {"Only gone", "", "gone.mp4"},
      {"Empty", "", "", ""},
      {"", "", "Zulu.mp4"},
      {"Kids & <co>", "", "", "Tom & Jerry <1>.mp4", "", "Amélie.mp4"},
  });
  const FileSizeCheck sizes_ = Files({{"/m/Zulu.mp4", 100},
                                      {"/t/Tom & Jerry <1>.mp4", 200},
                                      {"/t2/Tom & Jerry <1>.mp4", 250},
                                      {"/m/Amélie.mp4", 300},
                                      {"/o/odd.avi", 400},
                                      {"/t/alpha.mp4", 500}});
  const FileExists exists_ = [this](const std::string& path) { return sizes_(path).has_value(); };
};

TEST_F(MediaTreeTest, CollectionsListWhatThePhonePagesLinkInTheirOrder) {
  const MediaTree tree(library_, playlists_, sizes_);
  const LibraryPages pages = LibraryPagesOf(library_, playlists_, exists_);
  ASSERT_FALSE(PageLinks(pages.library).empty());
  EXPECT_EQ(TreeLinks(*tree.Container("library/all")), PageLinks(pages.library));
  EXPECT_EQ(TreeLinks(*tree.Container("library/movies")), PageLinks(pages.movies));
  EXPECT_EQ(TreeLinks(*tree.Container("library/tvshows")), PageLinks(pages.tvShows));

  const MediaContainer& all = *tree.Container("library/all");
  std::vector<std::string> titles;
  for (const MediaItem& item : all.items) titles.push_back(item.title);
  // Two rows share a name and both are present: the page lists both rows under each entry.
  EXPECT_EQ(titles, (std::vector<std::string>{"alpha", "Amélie", "odd", "Tom & Jerry <1>",
                                              "Tom & Jerry <1>", "Tom & Jerry <1>",
                                              "Tom & Jerry <1>", "Zulu"}));
}

TEST_F(MediaTreeTest, PlaylistsWithSomethingToPlayMirrorTheirPages) {
  const MediaTree tree(library_, playlists_, sizes_);
  const MediaContainer& playlists = *tree.Container("playlists");
  // Not: only missing files, only blank slots, no name.
  ASSERT_EQ(playlists.containers.size(), 2u);
  const LibraryByName byName(library_);
  for (int row : {0, 4}) {
    const MediaContainer& playlist = *tree.Container(playlists.containers[row == 0 ? 0 : 1]);
    EXPECT_EQ(playlist.parentId, "playlists");
    EXPECT_EQ(playlist.title, playlists_.Cell(PlaylistColumn::kName, row));
    EXPECT_EQ(TreeLinks(playlist),
              PageLinks(PlaylistPageOf(playlists_, row, byName, exists_).page));
  }
}

TEST_F(MediaTreeTest, SizeIsOfTheFileTheServerSendsForTheName) {
  const MediaTree tree(library_, playlists_, sizes_);
  // Both rows named so are listed; the server sends the last row's file for either.
  for (const MediaItem& item : tree.Container("library/tvshows")->items) {
    if (item.title == "Tom & Jerry <1>") {
      EXPECT_EQ(item.size, 250);
    }
  }
  EXPECT_EQ(tree.Container("library/movies")->items.front().size, 300);
}

TEST(MediaTreeCoverTest, CoverWhereThePictureLookupFindsMoreThanTheBlankPicture) {
  const Table library = TableOf({{"MOVIE", "/v/A b.mp4", "A b.mp4"}});
  struct Case {
    const char* picture;  // present beside the video besides the video itself
    bool cover;
  } cases[] = {{"/v/A b.jpg", true},
               {"/v/cover.jpg", true},
               {"/v/folder.jpg", true},
               {"/v/fanart.jpg", false},
               {"/elsewhere/A b.jpg", false}};
  for (const Case& c : cases) {
    const MediaTree tree(library, Table(4, 1), Files({{"/v/A b.mp4", 1}, {c.picture, 1}}));
    EXPECT_EQ(tree.Container("library/all")->items.at(0).coverHref, c.cover ? "/A%20b.jpg" : "")
        << c.picture;
  }
  // A name the lookup cannot turn back into the video's gets no cover.
  for (const char* name : {"clip.MP4", "x.jpg.mp4"}) {
    const Table odd = TableOf({{"MOVIE", std::string("/v/") + name, name}});
    const MediaTree tree(odd, Table(4, 1),
                         Files({{std::string("/v/") + name, 1}, {"/v/cover.jpg", 1}}));
    EXPECT_EQ(tree.Container("library/all")->items.at(0).coverHref, "") << name;
  }
}

TEST_F(MediaTreeTest, ItemIdsNameOnePlaceInOneContainer) {
  const MediaTree tree(library_, playlists_, sizes_);
  for (const char* id : {"library/all", "library/tvshows"}) {
    const MediaContainer& container = *tree.Container(id);
    std::set<std::string> ids;
    for (size_t i = 0; i < container.items.size(); ++i) {
      const std::string itemId = MediaTree::ItemId(container, i);
      ids.insert(itemId);
      const auto found = tree.Item(itemId);
      ASSERT_TRUE(found) << itemId;
      EXPECT_EQ(found->container, &container);
      EXPECT_EQ(found->index, i);
    }
    // The same file listed four times is four objects.
    EXPECT_EQ(ids.size(), container.items.size()) << id;
  }
  const MediaContainer& all = *tree.Container("library/all");
  const std::string first = MediaTree::ItemId(all, 0);
  for (const std::string& id :
       {std::string("library/all/0"), first + "x", first.substr(0, first.size() - 1),
        std::string("library/all/"), "library/movies/" + all.items[0].key, std::string("nope/0"),
        std::string("0/0"), std::string("")}) {
    EXPECT_FALSE(tree.Item(id)) << id;
  }
}

TEST_F(MediaTreeTest, IdsStayWithTheirFilesWhenTheLibraryChanges) {
  const MediaTree before(library_, playlists_, sizes_);
  // A new file sorted first, and a playlist in front of the others.
  const Table library = WithFirstRow(library_, {"MOVIE", "/m/Aardvark.mp4", "Aardvark.mp4"});
  const Table playlists = WithFirstRow(playlists_, {"New", "", "Aardvark.mp4"});
  FileSizeCheck sizes = [this](const std::string& path) -> std::optional<int64_t> {
    if (path == "/m/Aardvark.mp4") return 1;
    return sizes_(path);
  };
  const MediaTree after(library, playlists, sizes);

  const auto idsByTitle = [](const MediaTree& tree, const std::string& container) {
    std::multimap<std::string, std::string> ids;
    const MediaContainer& c = *tree.Container(container);
    for (size_t i = 0; i < c.items.size(); ++i) {
      ids.emplace(c.items[i].title, MediaTree::ItemId(c, i));
    }
    return ids;
  };
  auto grown = idsByTitle(after, "library/all");
  ASSERT_EQ(grown.count("Aardvark"), 1u);
  grown.erase("Aardvark");
  EXPECT_EQ(grown, idsByTitle(before, "library/all"));
  // The playlists already there keep their ids and their items'.
  const auto& was = before.Container("playlists")->containers;
  const auto& is = after.Container("playlists")->containers;
  ASSERT_EQ(is.size(), was.size() + 1);
  EXPECT_EQ(std::vector<std::string>(is.begin() + 1, is.end()), was);
  for (const std::string& id : was) EXPECT_EQ(idsByTitle(after, id), idsByTitle(before, id));
}

TEST_F(MediaTreeTest, FingerprintMovesOnlyWithWhatATvIsShown) {
  const uint64_t print = MediaTree(library_, playlists_, sizes_).Fingerprint();
  EXPECT_EQ(MediaTree(library_, playlists_, sizes_).Fingerprint(), print);
  // A row whose file is missing shows nothing more.
  const Table withMissing = WithFirstRow(library_, {"MOVIE", "/m/absent.mp4", "absent.mp4"});
  EXPECT_EQ(MediaTree(withMissing, playlists_, sizes_).Fingerprint(), print);

  Table reclassified = library_;
  reclassified.SetCell(LibraryColumn::kClass, 0, "TV");
  Table renamed = playlists_;
  renamed.SetCell(PlaylistColumn::kName, 0, "Favourites");
  const FileSizeCheck grown = [this](const std::string& path) -> std::optional<int64_t> {
    return path == "/m/Zulu.mp4" ? 101 : sizes_(path);
  };
  EXPECT_NE(MediaTree(reclassified, playlists_, sizes_).Fingerprint(), print);
  EXPECT_NE(MediaTree(library_, renamed, sizes_).Fingerprint(), print);
  EXPECT_NE(MediaTree(library_, playlists_, grown).Fingerprint(), print);
  EXPECT_NE(MediaTree(Table(4, 1), Table(4, 1), Files({})).Fingerprint(), print);
}

TEST(MediaTreeEmptyTest, AnEmptyLibraryStillHasEveryContainer) {
  const MediaTree tree(Table(4, 1), Table(4, 1), Files({}));
  EXPECT_EQ(tree.Container("0")->containers, (std::vector<std::string>{"library", "playlists"}));
  EXPECT_EQ(tree.Container("library")->ChildCount(), 3u);
  for (const char* id : {"library/all", "library/movies", "library/tvshows", "playlists"}) {
    EXPECT_EQ(tree.Container(id)->ChildCount(), 0u) << id;
  }
}

TEST(MediaTreeSubtitlesTest, SubtitlesOnlyWhereTheFileBesideTheVideoIsAndALinkLeadsBack) {
  struct Case {
    std::string name;  // the video's, in /v/
    std::string beside;
    std::string href;
  } cases[] = {
      {"A b.mp4", "/v/A b.srt", "/A%20b.srt"}, {"A b.mp4", "/elsewhere/A b.srt", ""},
      {"A b.mp4", "/v/A b.SRT", ""},           {"A b.mp4", "/v/other.srt", ""},
      {"clip.MP4", "/v/clip.srt", ""},         {"x.srt.mp4", "/v/x.srt.srt", ""},
      {"y.Mp4.mp4", "/v/y.Mp4.srt", ""},
  };
  for (const Case& c : cases) {
    const Table library = TableOf({{"MOVIE", "/v/" + c.name, c.name}});
    const MediaTree tree(library, Table(4, 1), Files({{"/v/" + c.name, 1}, {c.beside, 1}}));
    EXPECT_EQ(tree.Container("library/all")->items.at(0).subtitlesHref, c.href)
        << c.name << " " << c.beside;
  }
  // Subtitles that appear are a change a TV must see.
  const Table library = TableOf({{"MOVIE", "/v/A b.mp4", "A b.mp4"}});
  EXPECT_NE(
      MediaTree(library, Table(4, 1), Files({{"/v/A b.mp4", 1}})).Fingerprint(),
      MediaTree(library, Table(4, 1), Files({{"/v/A b.mp4", 1}, {"/v/A b.srt", 1}})).Fingerprint());
}

}  // namespace
}  // namespace vidoria
