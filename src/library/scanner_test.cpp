#include "library/scanner.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "library/table_layouts.h"
#include "platform/temp_folder_for_tests.h"

namespace vidoria {
namespace {

using Paths = std::vector<std::string>;

class ScannerTest : public ::testing::Test {
 protected:
  // The scanner under test, with the hooks the test chose; made on first use.
  Scanner& ScannerUnderTest() {
    if (!scanner_) {
      Scanner::Hooks hooks = hooks_;
      hooks.afterPass = [this] { ++passes_; };
      scanner_ = std::make_unique<Scanner>(libraryTable_, status_, std::move(hooks));
    }
    return *scanner_;
  }

  Paths LibraryPaths() const {
    Paths paths;
    for (int row = 0; row < libraryTable_.RowCount(); ++row) {
      if (!libraryTable_.Cell(LibraryColumn::kPath, row).empty())
        paths.push_back(libraryTable_.Cell(LibraryColumn::kPath, row));
    }
    return paths;
  }
  std::set<std::string> LibrarySet() const {
    const Paths paths = LibraryPaths();
    return {paths.begin(), paths.end()};
  }

  // The status texts shown since the last call.
  Paths TakeShown() {
    Paths texts;
    const std::vector<std::string> lines = log_.Lines();
    for (size_t i = seenLines_; i < lines.size(); ++i)
      texts.push_back(lines[i].substr(std::string("now : ").size()));
    seenLines_ = lines.size();
    return texts;
  }

  TempFolder dir_;
  ActivityLog log_{[] { return "now"; }};  // lines "now : <text>"
  StatusBoard status_{log_};
  Table libraryTable_{4, 1};
  Scanner::Hooks hooks_;
  int passes_ = 0;

 private:
  std::unique_ptr<Scanner> scanner_;
  size_t seenLines_ = 0;
};

TEST_F(ScannerTest, PassShowsPositionsAmongAllFilesOfThePass) {
  const std::string folder = dir_.MakeFolder("m");
  hooks_.listFiles = [&](const std::string& f, const WalkWatch&) {
    return f == folder ? Paths{folder + "a.mp4", folder + "notes.txt", folder + "b.mp4"} : Paths{};
  };
  ScannerUnderTest().Queue(folder);

  EXPECT_TRUE(ScannerUnderTest().ScanPass());

  EXPECT_EQ(TakeShown(), (Paths{"Scanning " + folder, "a.mp4 (1 of 3)", "b.mp4 (3 of 3)"}));
  EXPECT_EQ(status_.Text(), "");
  EXPECT_EQ(LibraryPaths(), (Paths{folder + "a.mp4", folder + "b.mp4"}));
  EXPECT_EQ(libraryTable_.Cell(LibraryColumn::kClass, 1), "MOVIE");
  EXPECT_EQ(passes_, 1);
  EXPECT_FALSE(ScannerUnderTest().Scanning());
  EXPECT_TRUE(ScannerUnderTest().QueuedPaths().empty());
}

// A window adds the rows a slice at a time between its other work: the rows, the texts and
// their order are those of the whole pass, and the pass ends once, after the last row.
TEST_F(ScannerTest, PassInSlicesAddsWhatTheWholePassAdds) {
  const std::string folder = dir_.MakeFolder("m");
  for (const char* name : {"a.mp4", "b.txt", "c.mp4", "d.mp4"})
    dir_.Write(std::string("m/") + name);
  ScannerUnderTest().Queue(folder);

  ASSERT_TRUE(ScannerUnderTest().BeginPass());
  EXPECT_FALSE(ScannerUnderTest().BeginPass()) << "one pass at a time";
  // Slices while the walk still runs add nothing; how many there are depends on the walk's
  // thread, so each slice is counted by what it added.
  size_t rows = LibraryPaths().size();
  for (bool more = true; more;) {
    more = ScannerUnderTest().ContinuePass(std::chrono::seconds(0));
    EXPECT_LE(LibraryPaths().size(), rows + 1) << "a zero budget adds one row per slice";
    rows = LibraryPaths().size();
    if (more) {
      EXPECT_EQ(passes_, 0);
    }
  }

  EXPECT_EQ(passes_, 1);
  EXPECT_FALSE(ScannerUnderTest().Scanning());
  EXPECT_EQ(LibrarySet(),
            (std::set<std::string>{folder + "a.mp4", folder + "c.mp4", folder + "d.mp4"}));
  const Paths shown = TakeShown();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0], "Scanning " + folder);
  EXPECT_EQ(status_.Text(), "");
}

// The program closes during a pass: the rows added so far stay (they are saved), nothing more
// is added, and the pass's end (the generation) does not run.
TEST_F(ScannerTest, StoppedPassKeepsItsRowsAndSkipsItsEnd) {
  const std::string folder = dir_.MakeFolder("m");
  for (const char* name : {"a.mp4", "b.mp4", "c.mp4"}) dir_.Write(std::string("m/") + name);
  ScannerUnderTest().Queue(folder);
  ASSERT_TRUE(ScannerUnderTest().BeginPass());
  while (LibraryPaths().empty()) ScannerUnderTest().ContinuePass(std::chrono::seconds(0));

  ScannerUnderTest().StopPass();

  EXPECT_EQ(LibraryPaths().size(), 1u);
  EXPECT_FALSE(ScannerUnderTest().Scanning());
  EXPECT_FALSE(ScannerUnderTest().ContinuePass(std::chrono::seconds(1)));
  EXPECT_EQ(passes_, 0);
  EXPECT_EQ(status_.Text(), "");
}

TEST_F(ScannerTest, QueuedFilesComeFirstInListOrderThenFoldersInListOrder) {
  const std::string b = dir_.MakeFolder("B");
  const std::string a = dir_.MakeFolder("a");
  hooks_.listFiles = [](const std::string& f, const WalkWatch&) { return Paths{f + "in.mp4"}; };
  for (const std::string& path :
       {b, dir_.Path("z.mp4"), a, dir_.Path("Y.mp4"), dir_.Path("y.mp4")}) {
    ScannerUnderTest().Queue(path);
  }

  ASSERT_TRUE(ScannerUnderTest().ScanPass());

  // Queued files are added whether or not they exist; only the folders' contents are listed.
  EXPECT_EQ(LibraryPaths(), (Paths{dir_.Path("Y.mp4"), dir_.Path("y.mp4"), dir_.Path("z.mp4"),
                                   a + "in.mp4", b + "in.mp4"}));
  EXPECT_EQ(TakeShown(),
            (Paths{"Scanning " + a, "Scanning " + b, "Y.mp4 (1 of 5)", "y.mp4 (2 of 5)",
                   "z.mp4 (3 of 5)", "in.mp4 (4 of 5)", "in.mp4 (5 of 5)"}));
}

TEST_F(ScannerTest, OnlyMp4FilesAreAddedInAnyCase) {
  const std::string root = dir_.MakeFolder("films");
  for (const char* name : {"FILM.MP4", "film.m4v", "film.mp3", "film.mp4.txt", "Film. mp4 ",
                           ".hidden.mp4", "sub/inner.Mp4", ".hiddenfolder/x.mp4"}) {
    dir_.Write(std::string("films/") + name);
  }
  dir_.Write("elsewhere/linked.mp4");
  dir_.Link("../elsewhere", "films/linked folder");

  ScannerUnderTest().Queue(root);
  ASSERT_TRUE(ScannerUnderTest().ScanPass());

  EXPECT_EQ(LibrarySet(), (std::set<std::string>{root + "FILM.MP4", root + "Film. mp4 ",
                                                 root + ".hidden.mp4", root + "sub/inner.Mp4"}));
}

TEST_F(ScannerTest, QueuedLinksAreScannedThroughTheirTargets) {
  const std::string films = dir_.MakeFolder("films");
  dir_.Write("films/a.mp4");
  const std::string single = dir_.Write("single/one.mp4");
  dir_.Link(films, "drop/to folder");
  dir_.Link("../single/one.mp4", "drop/to file.mp4");
  dir_.Link("missing.mp4", "drop/dangling");

  ScannerUnderTest().QueueDropped(
      {dir_.Path("drop/to folder"), dir_.Path("drop/to file.mp4"), dir_.Path("drop/dangling")});
  ASSERT_TRUE(ScannerUnderTest().ScanPass());

  EXPECT_EQ(LibraryPaths(), (Paths{dir_.Path("drop/missing.mp4"), single, films + "a.mp4"}));
  Paths shown = TakeShown();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), "Scanning " + films.substr(0, films.size() - 1)),
            1)
      << ::testing::PrintToString(shown);
}

// A link is this platform's shortcut: inside a scanned folder it is skipped (though it still
// counts in the positions), while the same link dropped on its own stands for its target.
TEST_F(ScannerTest, LinksInsideFoldersAreSkippedAndDroppedLinksAddTheirTargets) {
  const std::string films = dir_.MakeFolder("films");
  const std::string real = dir_.Write("films/real.mp4");
  const std::string target = dir_.Write("elsewhere/target.mp4");
  dir_.Link("../elsewhere/target.mp4", "films/x.mp4");
  dir_.Link("real.mp4", "films/sibling.mp4");

  ScannerUnderTest().Queue(films);
  ASSERT_TRUE(ScannerUnderTest().ScanPass());
  EXPECT_EQ(LibraryPaths(), Paths{real});
  const Paths shown = TakeShown();
  ASSERT_EQ(shown.size(), 2u) << ::testing::PrintToString(shown);
  EXPECT_EQ(shown[1].substr(shown[1].find(" of ")), " of 3)") << "the links count";

  ScannerUnderTest().QueueDropped({films + "x.mp4", films + "sibling.mp4"});
  ASSERT_TRUE(ScannerUnderTest().ScanPass());
  EXPECT_EQ(LibraryPaths(), (Paths{real, target}))
      << "the dropped links add their targets, never their own paths";
}

TEST_F(ScannerTest, FolderAddedTwiceGivesNoDuplicateRows) {
  const std::string folder = dir_.MakeFolder("twice");
  dir_.Write("twice/a.mp4");
  dir_.Write("twice/b.mp4");
  ScannerUnderTest().AddWatchedFolder(folder);
  ScannerUnderTest().AddWatchedFolder(folder);

  ASSERT_TRUE(ScannerUnderTest().ScanPass());

  EXPECT_EQ(LibrarySet(), (std::set<std::string>{folder + "a.mp4", folder + "b.mp4"}));
  EXPECT_EQ(LibraryPaths().size(), 2u);
}

TEST_F(ScannerTest, LinkLoopsEndThePass) {
  const std::string folder = dir_.MakeFolder("loop");
  dir_.Write("loop/a.mp4");
  dir_.Link(".", "loop/again");
  dir_.Link("ping", "loop/pong");
  dir_.Link("pong", "loop/ping");
  ScannerUnderTest().Queue(folder);
  ScannerUnderTest().Queue(dir_.Path("loop/ping"));
  ScannerUnderTest().Queue(dir_.Path("loop/again"));

  ASSERT_TRUE(ScannerUnderTest().ScanPass());

  EXPECT_EQ(LibraryPaths(), Paths{folder + "a.mp4"});
}

TEST_F(ScannerTest, WatchedFoldersAreRescannedOnEveryPass) {
  const std::string watched = dir_.MakeFolder("watched");
  dir_.Write("watched/first.mp4");
  ScannerUnderTest().AddWatchedFolder(watched);
  ASSERT_TRUE(ScannerUnderTest().ScanPass());
  EXPECT_EQ(LibraryPaths(), Paths{watched + "first.mp4"});

  // Nothing queued: the watched folders alone make a pass.
  dir_.Write("watched/second.mp4");
  ASSERT_TRUE(ScannerUnderTest().ScanPass());
  EXPECT_EQ(LibraryPaths(), (Paths{watched + "first.mp4", watched + "second.mp4"}));

  dir_.Write("watched/third.mp4");
  ScannerUnderTest().Queue(dir_.Write("dropped.mp4"));
  ASSERT_TRUE(ScannerUnderTest().ScanPass());
  EXPECT_EQ(LibrarySet(), (std::set<std::string>{watched + "first.mp4", watched + "second.mp4",
                                                 watched + "third.mp4", dir_.Path("dropped.mp4")}));
  EXPECT_EQ(passes_, 3);
}

TEST_F(ScannerTest, NothingQueuedOrWatchedMeansNoPass) {
  EXPECT_FALSE(ScannerUnderTest().ScanPass());
  EXPECT_EQ(passes_, 0);
  EXPECT_TRUE(TakeShown().empty());
}

TEST_F(ScannerTest, BusyHelperPostponesThePass) {
  bool busy = true;
  hooks_.helperBusy = [&] { return busy; };
  const std::string film = dir_.Path("a.mp4");
  ScannerUnderTest().Queue(film);

  EXPECT_FALSE(ScannerUnderTest().ScanPass());
  EXPECT_EQ(LibraryPaths(), Paths{});
  EXPECT_EQ(ScannerUnderTest().QueuedPaths(), Paths{film});
  EXPECT_TRUE(ScannerUnderTest().ScanTimerEnabled());
  EXPECT_EQ(passes_, 0);

  busy = false;
  EXPECT_TRUE(ScannerUnderTest().ScanPass());
  EXPECT_EQ(LibraryPaths(), Paths{film});
}

TEST_F(ScannerTest, ScanTimerRunsWhileSomethingIsQueued) {
  EXPECT_FALSE(ScannerUnderTest().ScanTimerEnabled());
  ScannerUnderTest().Queue(dir_.Path("a.mp4"));
  EXPECT_TRUE(ScannerUnderTest().ScanTimerEnabled());
  ASSERT_TRUE(ScannerUnderTest().ScanPass());
  EXPECT_FALSE(ScannerUnderTest().ScanTimerEnabled());

  ScannerUnderTest().QueueWatchedFolders();  // even with none watched, as the rescan timer does
  EXPECT_TRUE(ScannerUnderTest().ScanTimerEnabled());
}

TEST_F(ScannerTest, DroppedPathsShowTheQueueSize) {
  struct Case {
    Paths dropped;
    Paths queued;
    const char* status;
  };
  for (const Case& c : {
           Case{{"/v/a.mp4"}, {"/v/a.mp4"}, "1 item added"},
           Case{{"/v/a.mp4", "/v/b"}, {"/v/a.mp4", "/v/b"}, "2 items added"},
           Case{{"  ", "", " /v/spaced name.mp4 "}, {" /v/spaced name.mp4 "}, "1 item added"},
       }) {
    Table library(4, 1);
    Scanner scanner(library, status_);
    scanner.QueueDropped(c.dropped);
    EXPECT_EQ(scanner.QueuedPaths(), c.queued);
    EXPECT_EQ(status_.Text(), c.status);
    EXPECT_EQ(TakeShown(), Paths{c.status});
    EXPECT_TRUE(scanner.ScanTimerEnabled());
  }
}

TEST_F(ScannerTest, AddedFoldersAreCleanedUpWatchedAndQueued) {
  ScannerUnderTest().AddWatchedFolder("/media//films//new");
  ScannerUnderTest().AddWatchedFolder("/a/");
  ScannerUnderTest().AddWatchedFolder("");
  EXPECT_EQ(ScannerUnderTest().Folders(), (Paths{"/media/films//new/", "/a/"}));
  EXPECT_EQ(ScannerUnderTest().QueuedPaths(), (Paths{"/media/films//new/", "/a/"}));
  EXPECT_EQ(ScannerUnderTest().SortedFolders(), (Paths{"/a/", "/media/films//new/"}));
}

TEST_F(ScannerTest, RemovedFoldersLeaveTheQueueAndKeepTheirRows) {
  const std::string keep = dir_.MakeFolder("keep");
  const std::string drop = dir_.MakeFolder("drop");
  dir_.Write("drop/a.mp4");
  ScannerUnderTest().AddWatchedFolder(drop);
  ASSERT_TRUE(ScannerUnderTest().ScanPass());

  ScannerUnderTest().AddWatchedFolder(keep);
  ScannerUnderTest().QueueWatchedFolders();
  ScannerUnderTest().Queue(dir_.Path("b.mp4"));
  ScannerUnderTest().RemoveWatchedFolders({drop});

  EXPECT_EQ(ScannerUnderTest().Folders(), Paths{keep});
  EXPECT_EQ(ScannerUnderTest().QueuedPaths(), (Paths{keep, keep, dir_.Path("b.mp4")}));
  EXPECT_EQ(LibraryPaths(), Paths{drop + "a.mp4"});
}

TEST(FirstRunFoldersTest, OffersOnlyExistingVideoFolders) {
  TempFolder home;
  const std::string homeVar = home.Path().substr(0, home.Path().size() - 1);
  auto env = [&](const char* name) { return std::string(name) == "HOME" ? homeVar : ""; };
  const bool common = std::filesystem::is_directory(CommonVideoFolder());
  const Paths commonOnly = common ? Paths{CommonVideoFolder()} : Paths{};

  EXPECT_EQ(FirstRunFolders(env), commonOnly);

  home.MakeFolder("Videos");
  Paths both{home.Path("Videos/")};
  both.insert(both.end(), commonOnly.begin(), commonOnly.end());
  EXPECT_EQ(FirstRunFolders(env), both);

  EXPECT_THROW(FirstRunFolders([](const char*) { return std::string(); }), std::runtime_error);
}

}  // namespace
}  // namespace vidoria
