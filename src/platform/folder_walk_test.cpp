#include "platform/folder_walk.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/temp_folder_for_tests.h"

namespace vidoria {
namespace {

using Paths = std::vector<std::string>;

class ListFilesRecursiveTest : public ::testing::Test {
 protected:
  TempFolder dir_;
};

TEST_F(ListFilesRecursiveTest, ListsEachFileOnceOutsideHiddenAndLinkedFolders) {
  const std::string root = dir_.MakeFolder("root");
  dir_.Write("root/a.mp4");
  dir_.Write("root/.hidden.mp4");
  dir_.Write("root/notes.txt");
  dir_.Write("root/sub/b.mp4");
  dir_.Write("root/sub/deeper/c.mp4");
  dir_.Write("root/.hiddenfolder/x.mp4");
  dir_.Write("outside/y.mp4");
  dir_.Link("sub", "root/linked folder");
  dir_.Link("../outside", "root/linked outside");
  dir_.Link("sub/b.mp4", "root/linked file.mp4");
  dir_.Link("nowhere.mp4", "root/dangling.mp4");
  ASSERT_EQ(::mkfifo(dir_.Path("root/pipe.mp4").c_str(), 0644), 0);

  const Paths files = ListFilesRecursive(root);

  EXPECT_EQ(std::set<std::string>(files.begin(), files.end()),
            (std::set<std::string>{root + "a.mp4", root + ".hidden.mp4", root + "notes.txt",
                                   root + "linked file.mp4", root + "sub/b.mp4",
                                   root + "sub/deeper/c.mp4"}));
  EXPECT_EQ(files.size(), 6u) << "no file twice";
  // The folder's own files come before those of its subfolders, each folder before its own.
  ASSERT_EQ(files.size(), 6u);
  EXPECT_EQ(files[4], root + "sub/b.mp4");
  EXPECT_EQ(files[5], root + "sub/deeper/c.mp4");
}

TEST_F(ListFilesRecursiveTest, FilesOfAFolderFollowTheFileSystemsOrder) {
  const std::string root = dir_.MakeFolder("many");
  for (const char* name : {"m.mp4", "B.mp4", "a.mp4", "z.mp4", "k.txt", "0.mp4"}) {
    dir_.Write(std::string("many/") + name);
  }
  Paths listed;
  for (const auto& entry : std::filesystem::directory_iterator(root)) {
    listed.push_back(root + entry.path().filename().string());
  }
  EXPECT_EQ(ListFilesRecursive(root), listed);
}

TEST_F(ListFilesRecursiveTest, LinksBackToAnAncestorDoNotLoop) {
  const std::string root = dir_.MakeFolder("loop");
  dir_.Write("loop/a.mp4");
  dir_.Write("loop/inner/b.mp4");
  dir_.Link("..", "loop/inner/up");
  dir_.Link(root, "loop/inner/self");
  EXPECT_EQ(ListFilesRecursive(root), (Paths{root + "a.mp4", root + "inner/b.mp4"}));
}

TEST_F(ListFilesRecursiveTest, NothingToListGivesNothing) {
  dir_.Write("file.mp4");
  for (const std::string& folder :
       {std::string(), dir_.Path("missing"), dir_.Path("file.mp4"), dir_.MakeFolder("empty")}) {
    EXPECT_TRUE(ListFilesRecursive(folder).empty()) << folder;
  }
}

TEST_F(ListFilesRecursiveTest, TrailingSlashIsAdded) {
  dir_.Write("f/a.mp4");
  EXPECT_EQ(ListFilesRecursive(dir_.Path("f")), Paths{dir_.Path("f/a.mp4")});
}

TEST(ResolveShortcutTest, GivesTheAbsoluteTargetOfALink) {
  TempFolder dir;
  const std::string film = dir.Write("films/a.mp4");
  const std::string films = dir.Path("films");
  struct Case {
    std::string target;  // as stored in the link
    std::string expected;
  };
  for (const Case& c : {
           Case{film, film},
           Case{"films/a.mp4", film},
           Case{"./films/../films/a.mp4", film},
           Case{"films", films},
           Case{"link-to-film", film},  // a chain of links ends at the file
           Case{"missing.mp4", dir.Path("missing.mp4")},
           Case{"/gone/for/good.mp4", "/gone/for/good.mp4"},
       }) {
    const std::string link = dir.Path("shortcut");
    std::filesystem::remove(link);
    if (!dir.Exists("link-to-film")) dir.Link(film, "link-to-film");
    dir.Link(c.target, "shortcut");
    EXPECT_EQ(ResolveShortcut(link), c.expected) << c.target;
  }
}

TEST(ResolveShortcutTest, IsEmptyForAnythingButALink) {
  TempFolder dir;
  for (const std::string& path :
       {dir.Write("a.mp4"), dir.MakeFolder("folder"), dir.Path("missing"), std::string()}) {
    EXPECT_EQ(ResolveShortcut(path), "") << path;
  }
}

TEST(ResolveShortcutTest, RelativeLinkPathIsTakenFromTheCurrentFolder) {
  TempFolder dir;
  dir.Link("dangling.mp4", "shortcut");
  char saved[4096];
  ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
  const std::string resolved = ResolveShortcut("shortcut");
  ASSERT_EQ(::chdir(saved), 0);
  EXPECT_EQ(resolved, dir.Path("dangling.mp4"));
}

// Folders that go away while the walk runs (a disk unplugged, a folder deleted): each is
// reported, and the walk goes on with what remains.
TEST_F(ListFilesRecursiveTest, FolderGoneMidWalkIsReportedAndTheRestListed) {
  const std::string root = dir_.MakeFolder("tree");
  dir_.Write("tree/a.mp4");
  dir_.Write("tree/x/b.mp4");
  dir_.Write("tree/y/c.mp4");
  int asked = 0;
  std::set<std::pair<std::string, int>> reported;
  const Paths files = ListFilesRecursive(
      root, WalkWatch{.stopped =
                          [&] {
                            // After the top folder was read, before its subfolders are.
                            if (++asked == 2) {
                              std::filesystem::remove_all(dir_.Path("tree/x"));
                              std::filesystem::remove_all(dir_.Path("tree/y"));
                            }
                            return false;
                          },
                      .unreadable = [&](const std::string& folder,
                                        int error) { reported.emplace(folder, error); }});
  EXPECT_EQ(files, Paths{root + "a.mp4"});
  EXPECT_EQ(reported,
            (std::set<std::pair<std::string, int>>{{root + "x/", ENOENT}, {root + "y/", ENOENT}}));
}

TEST_F(ListFilesRecursiveTest, StoppedWalkEndsWithWhatItListed) {
  const std::string root = dir_.MakeFolder("tree");
  dir_.Write("tree/a.mp4");
  dir_.Write("tree/sub/b.mp4");
  dir_.Write("tree/sub/deeper/c.mp4");
  int asked = 0;
  const Paths files =
      ListFilesRecursive(root, WalkWatch{.stopped = [&] { return ++asked > 1; }, .unreadable = {}});
  EXPECT_EQ(files, Paths{root + "a.mp4"});
  EXPECT_EQ(asked, 2) << "the walk stops at the first folder after the stop";
}

}  // namespace
}  // namespace vidoria
