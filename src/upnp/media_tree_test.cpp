#include "upnp/media_tree.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

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
  EXPECT_EQ(playlists.containers, (std::vector<std::string>{"playlists/0", "playlists/4"}));
  const LibraryByName byName(library_);
  for (int row : {0, 4}) {
    const MediaContainer& playlist = *tree.Container("playlists/" + std::to_string(row));
    EXPECT_EQ(playlist.parentId, "playlists");
    EXPECT_EQ(playlist.title, playlists_.Cell(PlaylistColumn::kName, row));
    EXPECT_EQ(TreeLinks(playlist),
              PageLinks(PlaylistPageOf(playlists_, row, byName, exists_).page));
  }
  EXPECT_EQ(tree.Container("playlists/1"), nullptr);
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
  const MediaContainer& all = *tree.Container("library/all");
  for (size_t i = 0; i < all.items.size(); ++i) {
    const auto found = tree.Item(MediaTree::ItemId(all, i));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->container, &all);
    EXPECT_EQ(found->index, i);
  }
  ASSERT_TRUE(tree.Item("playlists/4/1"));
  for (const char* id :
       {"library/all/08", "library/all/-1", "library/all/+1", "library/all/99", "library/all/1x",
        "library/all/", "nope/0", "library/0", "0/0", "", "library/all/99999999999999999999999"}) {
    EXPECT_FALSE(tree.Item(id)) << id;
  }
}

TEST(MediaTreeEmptyTest, AnEmptyLibraryStillHasEveryContainer) {
  const MediaTree tree(Table(4, 1), Table(4, 1), Files({}));
  EXPECT_EQ(tree.Container("0")->containers, (std::vector<std::string>{"library", "playlists"}));
  EXPECT_EQ(tree.Container("library")->ChildCount(), 3u);
  for (const char* id : {"library/all", "library/movies", "library/tvshows", "playlists"}) {
    EXPECT_EQ(tree.Container(id)->ChildCount(), 0u) << id;
  }
}

}  // namespace
}  // namespace vidoria
