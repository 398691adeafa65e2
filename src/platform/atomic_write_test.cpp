#include "platform/atomic_write.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_bytes.h"
#include "platform/temp_folder_for_tests.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;

class AtomicWriteTest : public ::testing::Test {
 protected:
  std::set<std::string> Names() const { return dir_.Names(); }
  static mode_t Mode(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
  }

  TempFolder dir_;
};

TEST_F(AtomicWriteTest, PermissionsAreTheGivenOnesElseTheReplacedFilesElseANewFilesOwn) {
  const std::string kept = dir_.Write("kept", "old");
  ASSERT_EQ(::chmod(kept.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(kept, "new"));
  EXPECT_EQ(TempFolder::Read(kept), "new");
  EXPECT_EQ(Mode(kept), 0640u);

  const std::string given = dir_.Write("given", "old");
  AtomicWriteOptions options;
  options.mode = 0604;
  ASSERT_TRUE(WriteFileAtomically(given, "new", options));
  EXPECT_EQ(Mode(given), 0604u);

  const mode_t mask = ::umask(022);
  ::umask(mask);
  ASSERT_TRUE(WriteFileAtomically(dir_.Path("fresh"), ""));
  EXPECT_EQ(Mode(dir_.Path("fresh")), 0666u & ~mask);
  EXPECT_EQ(Names(), (std::set<std::string>{"kept", "given", "fresh"}));
}

TEST_F(AtomicWriteTest, AWriterStreamsTheContentThroughTheNewFile) {
  std::vector<std::string> told;
  AtomicWriteOptions options;
  options.tempFileChanged = [&](const std::string& path) {
    told.push_back(path);
    if (!path.empty()) {
      EXPECT_TRUE(fs::exists(path));
    }
  };
  const std::string path = dir_.Path("out");
  const auto written = WriteFileAtomicallyWith(
      path,
      [](int fd) -> OsStatus {
        if (OsStatus s = WriteAll(fd, "head"); !s) return s;
        // A writer may leave a hole and set the size itself.
        if (::ftruncate(fd, 8) != 0) return OsError{"cannot size", errno};
        return OsOk();
      },
      options);
  ASSERT_TRUE(written) << written.Error().Text();
  EXPECT_EQ(TempFolder::Read(path), std::string("head\0\0\0\0", 8));
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(fs::path(told[0]).parent_path(), fs::path(path).parent_path());
  EXPECT_EQ(told[1], "");
}

// Every failing step leaves the destination as it was and no new file behind.
TEST_F(AtomicWriteTest, AFailedStepLeavesTheOldFileAndNothingElse) {
  const std::string path = dir_.Write("file", "old");
  dir_.Write("folder/inside", "");
  struct Case {
    const char* name;
    std::string destination;
    ContentWriter write;
    WriteStep step;
    std::string what;
    int code;
  } cases[] = {
      {"no such folder", dir_.Path("missing/file"), [](int) { return OsOk(); }, WriteStep::kCreate,
       "cannot create a file in its folder", ENOENT},
      {"writer fails", path,
       [](int fd) -> OsStatus {
         (void)WriteAll(fd, "half");
         return OsError{"the input ended early"};
       },
       WriteStep::kContent, "the input ended early", 0},
      {"a folder is in the way", dir_.Path("folder"), [](int) { return OsOk(); },
       WriteStep::kReplace, "cannot replace it", EISDIR},
  };
  for (const Case& c : cases) {
    std::vector<std::string> told;
    AtomicWriteOptions options;
    options.tempFileChanged = [&](const std::string& temp) { told.push_back(temp); };
    const auto written = WriteFileAtomicallyWith(c.destination, c.write, options);
    ASSERT_FALSE(written) << c.name;
    EXPECT_EQ(written.Error().step, c.step) << c.name;
    EXPECT_EQ(written.Error().what, c.what) << c.name;
    EXPECT_EQ(written.Error().code, c.code) << c.name;
    if (!told.empty()) {
      EXPECT_EQ(told.back(), "") << c.name << ": the watcher is told it is gone";
    }
  }
  EXPECT_EQ(TempFolder::Read(path), "old");
  EXPECT_EQ(Names(), (std::set<std::string>{"file", "folder"}));
  EXPECT_TRUE(fs::exists(dir_.Path("folder/inside")));
}

// A process killed during a save leaves its new file behind; the next start clears those whose
// writer is gone, and nothing that might still be written or that is not such a file.
TEST_F(AtomicWriteTest, AbandonedTemporaryFilesOfGoneWritersAreRemoved) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const std::string dead = std::to_string(child);
  const std::string own = std::to_string(::getpid());

  const std::string path = dir_.Write("LIBRARY.kavra", "real");
  for (const std::string& name :
       {"LIBRARY.kavra.tmp-" + dead + "-3", "LIBRARY.kavra.tmp-" + dead + "-0",
        "LIBRARY.kavra.tmp-" + own + "-1", std::string("LIBRARY.kavra.tmp-1-0"),
        "LIBRARY.kavra.tmp-" + dead + "-x", "LIBRARY.kavra.tmp-" + dead + "-1.bad",
        std::string("LIBRARY.kavra.tmp--1"), "PLAYLISTS.kavra.tmp-" + dead + "-1"}) {
    dir_.Write(name, "partial");
  }

  std::vector<std::string> removed = RemoveAbandonedTemporaryFiles(path);
  std::sort(removed.begin(), removed.end());
  EXPECT_EQ(removed, (std::vector<std::string>{"LIBRARY.kavra.tmp-" + dead + "-0",
                                               "LIBRARY.kavra.tmp-" + dead + "-3"}));
  EXPECT_EQ(Names(), (std::set<std::string>{
                         "LIBRARY.kavra", "LIBRARY.kavra.tmp-" + own + "-1",
                         std::string("LIBRARY.kavra.tmp-1-0"), "LIBRARY.kavra.tmp-" + dead + "-x",
                         "LIBRARY.kavra.tmp-" + dead + "-1.bad", "LIBRARY.kavra.tmp--1",
                         "PLAYLISTS.kavra.tmp-" + dead + "-1"}));
  EXPECT_EQ(TempFolder::Read(path), "real");
  EXPECT_TRUE(RemoveAbandonedTemporaryFiles(dir_.Path("missing/x")).empty());
}

TEST(FileBytesTest, ReadingAMissingFileSaysItCannotBeOpened) {
  TempFolder dir;
  const OsResult<std::string> bytes = ReadFileBytes(dir.Path("none"));
  ASSERT_FALSE(bytes);
  EXPECT_EQ(bytes.Error().Text(), "cannot be opened: No such file or directory");
}

TEST(FileBytesTest, MoveAsideTakesTheFirstFreeBadName) {
  TempFolder dir;
  dir.Write("f.bad", "older");
  dir.Write("f.1.bad", "older");
  const std::string path = dir.Write("f", "damaged");
  const OsResult<std::string> aside = MoveAside(path);
  ASSERT_TRUE(aside) << aside.Error().Text();
  EXPECT_EQ(*aside, dir.Path("f.2.bad"));
  EXPECT_EQ(TempFolder::Read(*aside), "damaged");
  EXPECT_FALSE(dir.Exists("f"));
  EXPECT_EQ(TempFolder::Read(dir.Path("f.bad")), "older");
}

}  // namespace
}  // namespace vidoria
