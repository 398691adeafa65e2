// The checks on paths that enter the scan, on real files in a temporary folder.
#include "engine/scan_input.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace vidoria {
namespace {

namespace fs = std::filesystem;

class ScanInputTest : public ::testing::Test {
 protected:
  ScanInputTest() {
    root_ = fs::path(::testing::TempDir()) /
            ("scan_input_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  ~ScanInputTest() override { fs::remove_all(root_); }

  std::string Make(const std::string& name) {
    const fs::path path = root_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
    return path.string();
  }

  fs::path root_;
};

TEST_F(ScanInputTest, RefusesWhatCannotBeStoredOrFound) {
  const std::string good = Make("good \"one\" é.mp4");
  const std::string broken = Make("two\nlines.mp4");
  const std::string linked = (root_ / "link.mp4").string();
  fs::create_symlink(broken, linked);
  const std::string dangling = (root_ / "dangling.mp4").string();
  fs::create_symlink(root_ / "nothing.mp4", dangling);

  EXPECT_EQ(ScanInputProblem(good), std::nullopt);
  EXPECT_EQ(ScanInputProblem(root_.string()), std::nullopt);
  const struct {
    std::string path;
    std::string says;
  } refused[] = {
      {broken, "two\\nlines.mp4 has a line break"},
      {linked, "link.mp4 has a line break"},  // the target's name decides
      {(root_ / "gone.mp4").string(), "gone.mp4 does not exist."},
      {dangling, "dangling.mp4 does not exist."},
  };
  for (const auto& each : refused) {
    SCOPED_TRACE(Printable(each.path));
    const auto problem = ScanInputProblem(each.path);
    ASSERT_NE(problem, std::nullopt);
    EXPECT_NE(problem->find(each.says), std::string::npos) << *problem;
    EXPECT_FALSE(HasLineBreak(*problem)) << "a message stays one line";
  }
}

TEST_F(ScanInputTest, WalkLosesOnlyTheMp4NamesWithLineBreaksAndNamesTheirFolders) {
  ActivityLog log([] { return std::string("now"); });
  const std::vector<std::string> walked = {"/m/a.mp4", "/m/b\rc.mp4", "/m/sub\nx/d.MP4",
                                           "/m/notes\n.txt"};
  EXPECT_EQ(WithoutLineBreaks(walked, log),
            (std::vector<std::string>{"/m/a.mp4", "/m/notes\n.txt"}));
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "now : Skipped in /m/: /m/b\\rc.mp4 has a line break in its name, which the library "
            "cannot store.");
  EXPECT_NE(lines[1].find("Skipped in /m/: /m/sub\\nx/d.MP4"), std::string::npos) << lines[1];
}

}  // namespace
}  // namespace vidoria
