#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "library/activity_log.h"
#include "library/streaming.h"
#include "platform/process_runner_tool.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// A library folder with a space in its name, a stand-in for the fast-start tool, and the log.
class StreamingTest : public ::testing::Test {
 protected:
  StreamingTest() : log_([] { return "T"; }), status_(log_) {
    std::string pattern = (fs::temp_directory_path() / "vidoria-streaming-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    folder_ = root_ + "/My Films/";
    fs::create_directory(folder_);
  }
  ~StreamingTest() override { fs::remove_all(root_); }

  // The tool is called as: tool INPUT OUTPUT.
  std::string Tool(const std::string& body) {
    const std::string path = root_ + "/faststart";
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }
  // Rewrites like the real tool: the output holds the input's bytes behind a marker, and the
  // output must not exist while the input does.
  std::string GoodTool() {
    return Tool("test -e \"$2\" && exit 9\n{ printf 'fast:'; cat \"$1\"; } > \"$2\"\n");
  }
  std::string File(const std::string& name, const std::string& content) {
    std::ofstream(folder_ + name) << content;
    return folder_ + name;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool Enable(const std::string& path, const std::string& tool) {
    return EnableStreaming(path, tool, helper_, status_, [this] { ++pumps_; });
  }
  // The log without its time stamps.
  Lines Logged() const {
    Lines texts;
    for (const std::string& line : log_.Lines()) texts.push_back(line.substr(4));
    return texts;
  }
  std::string Temporary() const { return folder_ + "qfsTemp.mp4"; }

  std::string root_, folder_;
  ActivityLog log_;
  StatusBoard status_;
  ToolRunner helper_;
  int pumps_ = 0;
};

TEST_F(StreamingTest, RewritesTheFileInPlaceAndDeletesTheTemporaryCopy) {
  const std::string tool = GoodTool();
  const std::string movie = File("Holiday Trip.mp4", "original");
  status_.Show("before");
  EXPECT_TRUE(Enable(movie, tool));
  EXPECT_EQ(Read(movie), "fast:original");
  EXPECT_FALSE(fs::exists(Temporary()));
  EXPECT_EQ(helper_.CommandLine(), "\"" + tool + "\" \"" + Temporary() + "\" \"" + movie + "\"");
  EXPECT_EQ(Logged(),
            (Lines{"before", "Enabling Streaming on Holiday Trip.mp4", "Streaming enabled"}));
  EXPECT_EQ(status_.Text(), "");
  EXPECT_FALSE(helper_.Busy());
  EXPECT_GT(pumps_, 0);
}

TEST_F(StreamingTest, ToolWithoutOutputLeavesTheFileUnderItsOwnName) {
  for (const char* body : {"exit 1\n", "exit 0\n", "kill -9 $$\n"}) {
    const size_t logged = log_.Lines().size();
    const std::string movie = File("a.MP4", "original");
    EXPECT_FALSE(Enable(movie, Tool(body))) << body;
    EXPECT_EQ(Read(movie), "original") << body;
    EXPECT_FALSE(fs::exists(Temporary())) << body;
    const Lines all = Logged();
    EXPECT_EQ(
        Lines(all.begin() + static_cast<long>(logged), all.end()),
        (Lines{"Enabling Streaming on a.MP4", "Streaming enabled", "Could not enable streaming"}))
        << body;
    EXPECT_EQ(status_.Text(), "");
  }
}

TEST_F(StreamingTest, ToolThatCannotStartGivesTheFileBackAndEndsTheBusyState) {
  const std::string movie = File("a.mp4", "original");
  const std::string missingTool = root_ + "/no-faststart";
  try {
    Enable(movie, missingTool);
    FAIL() << "no error";
  } catch (const StreamingError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Could not start " + missingTool + ": No such file or directory");
  }
  EXPECT_EQ(Read(movie), "original");
  EXPECT_FALSE(fs::exists(Temporary()));
  EXPECT_FALSE(helper_.Busy());
  EXPECT_EQ(Logged(), (Lines{"Enabling Streaming on a.mp4",
                             "Could not start " + missingTool + ": No such file or directory"}));
  EXPECT_EQ(status_.Text(), "");
}

TEST_F(StreamingTest, MissingFileOnlyClearsTheStatus) {
  status_.Show("12 items");
  EXPECT_FALSE(Enable(folder_ + "gone.mp4", GoodTool()));
  EXPECT_EQ(Logged(), Lines{"12 items"});
  EXPECT_EQ(status_.Text(), "");
  EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(StreamingTest, ALeftoverTemporaryFileIsReplaced) {
  const std::string tool = GoodTool();
  File("qfsTemp.mp4", "stale copy of an earlier run");
  const std::string movie = File("a.mp4", "original");
  EXPECT_TRUE(Enable(movie, tool));
  EXPECT_EQ(Read(movie), "fast:original");
  EXPECT_FALSE(fs::exists(Temporary()));
}

TEST_F(StreamingTest, FilesOfOneFolderAreProcessedInTurn) {
  const std::string tool = GoodTool();
  const std::string a = File("a.mp4", "first");
  const std::string b = File("b.mp4", "second");
  EXPECT_TRUE(Enable(a, tool));
  EXPECT_TRUE(Enable(b, tool));
  EXPECT_EQ(Read(a), "fast:first");
  EXPECT_EQ(Read(b), "fast:second");
  EXPECT_FALSE(fs::exists(Temporary()));
  EXPECT_EQ(Logged(), (Lines{"Enabling Streaming on a.mp4", "Streaming enabled",
                             "Enabling Streaming on b.mp4", "Streaming enabled"}));
}

TEST_F(StreamingTest, FilesThatMustNotBeTouchedAreRefused) {
  const std::string tool = GoodTool();
  const std::string reserved = File("qfsTemp.mp4", "a film named like the copy");
  const std::string notMp4 = File("clip.wmv", "wmv");
  EXPECT_FALSE(Enable(reserved, tool));
  EXPECT_FALSE(Enable(notMp4, tool));
  EXPECT_EQ(Read(reserved), "a film named like the copy");
  EXPECT_EQ(Read(notMp4), "wmv");
  EXPECT_EQ(Logged().size(), 1u) << "the reserved name is explained";
}

TEST_F(StreamingTest, ACallFromInsideAnotherOnesWaitIsRefused) {
  const std::string tool = Tool("sleep 0.3\n{ printf 'fast:'; cat \"$1\"; } > \"$2\"\n");
  const std::string a = File("a.mp4", "first");
  const std::string b = File("b.mp4", "second");
  bool inner = true;
  const bool outer = EnableStreaming(a, tool, helper_, status_, [&] {
    // The window runs a second click while the first file is being rewritten.
    if (pumps_++ == 0) inner = Enable(b, tool);
  });
  EXPECT_TRUE(outer);
  EXPECT_FALSE(inner);
  EXPECT_EQ(Read(a), "fast:first");
  EXPECT_EQ(Read(b), "second");
  EXPECT_FALSE(fs::exists(Temporary()));
}

TEST_F(StreamingTest, AFailedRenameThrowsAndLeavesTheFileAsItWas) {
  const std::string movie = File("a.mp4", "original");
  // A folder in the temporary name's place cannot be deleted or renamed over.
  fs::create_directories(Temporary() + "/inside");
  EXPECT_THROW(Enable(movie, GoodTool()), StreamingError);
  EXPECT_EQ(Read(movie), "original");
  EXPECT_FALSE(helper_.Busy());
  EXPECT_EQ(status_.Text(), "");
}

}  // namespace
}  // namespace vidoria
