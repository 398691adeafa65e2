#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "library/library_rows_for_tests.h"
#include "library/table_layouts.h"
#include "web/library_lookup.h"

namespace vidoria {
namespace {

// Lookups over a small library and a set of files that "exist".
class LibraryLookupTest : public ::testing::Test {
 protected:
  void Row(const std::string& path, const std::string& name) {
    AddLibraryRow(view_.libraryTable, path, name);
  }
  void Playlist(const std::string& name, const std::string& firstItem) {
    Table& lists = view_.playlistTable;
    int row = lists.RowCount() - 1;
    if (!lists.Cell(PlaylistColumn::kName, row).empty()) {
      lists.AddRow();
      ++row;
    }
    lists.SetCell(PlaylistColumn::kName, row, name);
    lists.SetCell(PlaylistColumn::kFirstSlot, row, firstItem);
  }
  LibraryLookup Video(const std::string& fileName) {
    LibraryLookup result;
    LookUpVideo(fileName, Context(), result);
    return result;
  }
  LibraryLookup Image(const std::string& fileName) {
    LibraryLookup result;
    LookUpImage(fileName, Context(), result);
    return result;
  }
  LookupContext Context() {
    return LookupContext{view_, "/prog/",
                         [this](const std::string& path) { return files_.count(path) > 0; },
                         [this](const std::string& line) { activity_.push_back(line); }};
  }

  LibraryView view_;
  std::set<std::string> files_;
  std::vector<std::string> activity_;
};

TEST_F(LibraryLookupTest, VideoIsFoundByNameInTheLowestMatchingRow) {
  Row("/a/Same.mp4", "Same.mp4");
  Row("/b/Same.mp4", "Same.mp4");
  Row("/c/My Movie.mp4", "My Movie.mp4");
  Row("/d/Été à Paris.mp4", "Été à Paris.mp4");
  Row("/e/It's.mp4", "It's.mp4");
  struct Case {
    const char* request;
    const char* folder;
    const char* name;
  };
  const Case cases[] = {
      {"/Same.mp4", "/b/", "Same.mp4"},
      {"/My%20Movie.mp4", "/c/", "My Movie.mp4"},
      {"/x/My%20Movie.mp4", "", "xMy Movie.mp4"},
      {"/%C3%89t%C3%A9%20%C3%A0%20Paris.mp4", "/d/", "Été à Paris.mp4"},
      {"/It%27s.mp4", "/e/", "It's.mp4"},
      {"/Missing.mp4", "", "Missing.mp4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    const LibraryLookup found = Video(c.request);
    EXPECT_EQ(found.folder, c.folder);
    EXPECT_EQ(found.name, c.name);
  }
  EXPECT_EQ(activity_.front(), "Loading Video /Same.mp4");
}

TEST_F(LibraryLookupTest, CoverFallsBackFromOwnPictureToCoverFolderAndBlank) {
  Row("/v/Film.mp4", "Film.mp4");
  struct Case {
    std::set<std::string> files;
    const char* folder;
    const char* name;
  };
  const Case cases[] = {
      {{"/v/Film.jpg", "/v/cover.jpg", "/v/folder.jpg"}, "/v/", "Film.jpg"},
      {{"/v/cover.jpg", "/v/folder.jpg"}, "/v/", "cover.jpg"},
      {{"/v/folder.jpg"}, "/v/", "folder.jpg"},
      {{}, "/prog/", "kavra/blank.jpg"},
  };
  for (const auto& c : cases) {
    files_ = c.files;
    const LibraryLookup found = Image("/Film.jpg");
    EXPECT_EQ(found.folder, c.folder);
    EXPECT_EQ(found.name, c.name);
  }
}

TEST_F(LibraryLookupTest, PicturesBehindAPlaylistNameUseItsFirstItemsFolder) {
  Row("/v/First.mp4", "First.mp4");
  Playlist("Favorites", "First.mp4");
  Playlist("My List", "First.mp4");
  struct Case {
    std::set<std::string> files;
    const char* request;
    const char* folder;
    const char* name;
  };
  const Case cases[] = {
      {{"/v/folder.jpg"}, "/Favorites/folder.jpg", "/v/", "folder.jpg"},
      {{"/v/cover.jpg"}, "/Favorites/folder.jpg", "/v/", "cover.jpg"},
      {{}, "/Favorites/folder.jpg", "/prog/", "kavra/blank.jpg"},
      {{"/v/folder.jpg"}, "/My%20List/folder.jpg", "/v/", "folder.jpg"},
      // No fallback for the special pictures: the missing file is answered 404 later.
      {{"/v/cover.jpg"}, "/Favorites/fanart.jpg", "/v/", "fanart.jpg"},
      // The library is never searched by list name, and no name is tried outside a folder.
      {{"folder.jpg", "/v/folder.jpg"}, "/library/folder.jpg", "/prog/", "kavra/blank.jpg"},
      {{}, "/library/fanart.jpg", "", "/library/fanart.jpg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    files_ = c.files;
    const LibraryLookup found = Image(c.request);
    EXPECT_EQ(found.folder, c.folder);
    EXPECT_EQ(found.name, c.name);
  }
}

}  // namespace
}  // namespace vidoria
