#include "site/file_exists.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "library/table.h"
#include "library/table_layouts.h"
#include "site/library_pages.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;

TEST(FileExistsTest, FilesAndLinksToThemCountFoldersDoNot) {
  const std::string file = ::testing::TempDir() + "site_exists_check.mp4";
  const std::string link = file + ".link";
  std::FILE* out = std::fopen(file.c_str(), "w");
  ASSERT_NE(out, nullptr);
  std::fclose(out);
  std::remove(link.c_str());  // left by an interrupted run
  ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);

  EXPECT_TRUE(ExistingFile(file));
  EXPECT_TRUE(ExistingFile(link));
  EXPECT_FALSE(ExistingFile(file + ".missing"));
  EXPECT_FALSE(ExistingFile(::testing::TempDir()));
  EXPECT_FALSE(ExistingFile(""));
  std::remove(link.c_str());
  std::remove(file.c_str());
}

// Media folders of every kind a library row can point into, and rows naming what is in them,
// what is not, and what only a stat can tell.
class ExistingFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = ::testing::TempDir() + "existing_files" + std::to_string(::getpid()) + "/";
    fs::remove_all(base_);
    const std::vector<std::string> names = {
        "Holiday 1.mp4", "Café.mp4",      "100%25 fun.mp4",        "back\\slash.mp4", ".hidden.mp4",
        "trailing .mp4", "new\nline.mp4", "quote\"s & <tags>.mp4", "ends in space ",
    };
    for (const char* folder : {"plain/", "deep/a/b/", "closed/", "listonly/", "big/"}) {
      fs::create_directories(base_ + folder);
      for (const auto& name : names) Touch(base_ + folder + name);
    }
    for (int i = 0; i < 300; ++i) Touch(base_ + "big/film " + std::to_string(i) + ".mp4");
    fs::create_directories(base_ + "plain/folder.mp4");
    fs::create_symlink(base_ + "plain/Café.mp4", base_ + "plain/link.mp4");
    fs::create_symlink(base_ + "plain/nowhere.mp4", base_ + "plain/dangling.mp4");
    fs::create_symlink(base_ + "plain/folder.mp4", base_ + "plain/folder link.mp4");
    ASSERT_EQ(::mkfifo((base_ + "plain/pipe.mp4").c_str(), 0644), 0);
    fs::create_directory_symlink(base_ + "plain", base_ + "linked");
    // Unreadable, and readable but not searchable (for a user other than root).
    fs::permissions(base_ + "closed", fs::perms::none);
    fs::permissions(base_ + "listonly", fs::perms::owner_read);

    for (const char* folder : {"plain/", "deep/a/b/", "closed/", "listonly/", "linked/",
                               "deep/a/../a/b/", "plain//", "plain/./", "gone/", "big/"}) {
      for (const auto& name : names) paths_.push_back(base_ + folder + name);
      for (const char* other :
           {"missing.mp4", "CAFÉ.MP4", "holiday 1.mp4", "folder.mp4", "link.mp4", "dangling.mp4",
            "folder link.mp4", "pipe.mp4", ".", "..", ""}) {
        paths_.push_back(base_ + folder + other);
      }
    }
    for (int i = 0; i < 20; ++i) paths_.push_back(base_ + "big/film " + std::to_string(i) + ".mp4");
    paths_.push_back("relative.mp4");
    paths_.push_back("");
    paths_.push_back("/");
    paths_.push_back(base_ + "plain/Café.mp4" + std::string(1, '\0') + "/x");
  }
  void TearDown() override {
    fs::permissions(base_ + "closed", fs::perms::owner_all);
    fs::permissions(base_ + "listonly", fs::perms::owner_all);
    fs::remove_all(base_);
  }
  static void Touch(const std::string& path) { std::ofstream(path, std::ios::binary) << "x"; }

  std::string base_;
  std::vector<std::string> paths_;
};

// Every path, asked again and again as a generation's rows and playlist items ask, gets the
// answer of a stat of its own, whether the folder was read for it or not.
TEST_F(ExistingFilesTest, AnswersAsAStatOfEachPathWould) {
  ExistingFiles existing;
  for (int round = 0; round < 4; ++round) {
    for (const std::string& path : paths_) {
      EXPECT_EQ(existing(path), ExistingFile(path)) << "round " << round << ": " << path;
    }
  }
  // The folders asked often enough were read, so the answers above came from listings too.
  EXPECT_GE(existing.FoldersListed(), 2u);
}

// A few rows of a large folder are cheaper as stats than as the folder's listing.
TEST_F(ExistingFilesTest, AFewRowsOfALargeFolderDoNotReadIt) {
  ExistingFiles existing;
  for (int i = 0; i < ExistingFiles::kStatsBeforeListing + 2; ++i) {
    EXPECT_TRUE(existing(base_ + "big/film " + std::to_string(i) + ".mp4"));
  }
  EXPECT_EQ(existing.FoldersListed(), 0u);
}

// The pages of a library whose rows point into all those folders are the same bytes whichever
// way existence is checked.
TEST_F(ExistingFilesTest, LibraryPagesAreTheSameBytes) {
  Table library(4, static_cast<int>(paths_.size()) * 3);
  for (int row = 0; row < library.RowCount(); ++row) {
    const std::string& path = paths_[row % paths_.size()];
    library.SetCell(LibraryColumn::kClass, row, row % 3 == 0 ? "TV" : "MOVIE");
    library.SetCell(LibraryColumn::kPath, row, path);
    library.SetCell(LibraryColumn::kName, row, path.substr(path.rfind('/') + 1));
  }
  const Table playlists(2, 0);
  ExistingFiles existing;
  const LibraryPages listed = LibraryPagesOf(library, playlists, std::ref(existing));
  const LibraryPages stated = LibraryPagesOf(library, playlists, ExistingFile);
  EXPECT_EQ(listed.library, stated.library);
  EXPECT_EQ(listed.movies, stated.movies);
  EXPECT_EQ(listed.tvShows, stated.tvShows);
  EXPECT_EQ(listed.libraryList, stated.libraryList);
  EXPECT_EQ(listed.moviesList, stated.moviesList);
  EXPECT_EQ(listed.tvShowsList, stated.tvShowsList);
  EXPECT_GE(existing.FoldersListed(), 2u);
  // Not a vacuous comparison: some rows are listed and some are not.
  EXPECT_NE(stated.libraryList.find("Holiday 1.mp4"), std::string::npos);
  EXPECT_EQ(stated.libraryList.find("missing.mp4"), std::string::npos);
}

}  // namespace
}  // namespace vidoria
