// The tool on real files written by Debian's ffmpeg, judged by ffprobe and ffmpeg themselves:
// the index must come first and every packet must read back exactly as before.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "mp4/test_support.h"

namespace vidoria::faststart {
namespace {

using namespace vidoria::mp4::test_support;

struct Command {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
};

Command RunCommand(const std::string& command) {
  Command result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
  int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool OnPath(const std::string& tool) {
  return RunCommand("command -v " + tool + " >/dev/null").exitCode == 0;
}

std::string Quote(const std::string& path) {
  return "'" + path + "'";
}

// Index of the first box of the type, or the count when there is none.
size_t IndexOf(const std::vector<std::string>& types, const std::string& type) {
  return size_t(std::find(types.begin(), types.end(), type) - types.begin());
}

class FastStartMediaTest : public ::testing::Test {
 protected:
  // The sample files are made once; encoding is the slow part.
  static void SetUpTestSuite() {
    if (!OnPath("ffmpeg") || !OnPath("ffprobe")) return;
    folder = new TempFolder;
    const bool x264 =
        RunCommand("ffmpeg -hide_banner -encoders").output.find(" libx264 ") != std::string::npos;
    const std::string encode =
        "ffmpeg -v error -f lavfi -i testsrc=duration=3:size=320x240:rate=25"
        " -f lavfi -i sine=duration=3 -c:v " +
        std::string(x264 ? "libx264 -preset veryfast" : "mpeg4") + " -c:a aac -y ";
    for (const char* file : {"end.mp4", "end.mov"}) {
      Command made = RunCommand(encode + Quote(*folder / file));
      ASSERT_EQ(made.exitCode, 0) << made.output;
    }
    Command made = RunCommand(encode + "-movflags +faststart " + Quote(*folder / "front.mp4"));
    ASSERT_EQ(made.exitCode, 0) << made.output;
  }
  static void TearDownTestSuite() {
    delete folder;
    folder = nullptr;
  }
  void SetUp() override {
    if (folder == nullptr) GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH";
  }

  static std::string Sample(const std::string& name) { return *folder / name; }

  static Command FastStart(const std::string& input, const std::string& output) {
    return RunCommand(Quote(FASTSTART_BINARY) + " " + Quote(input) + " " + Quote(output));
  }

  static TempFolder* folder;
};

TempFolder* FastStartMediaTest::folder = nullptr;

class FastStartMovedMediaTest : public FastStartMediaTest,
                                public ::testing::WithParamInterface<const char*> {};

TEST_P(FastStartMovedMediaTest, IndexComesFirstAndEveryPacketIsUnchanged) {
  const std::string input = Sample(GetParam());
  const std::string output = *folder / (std::string("fast-") + GetParam());
  std::vector<std::string> before = TypesOf(TopLevelBoxes(input));
  ASSERT_GT(IndexOf(before, "moov"), IndexOf(before, "mdat")) << "ffmpeg put the index first";

  Command run = FastStart(input, output);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output, "");

  std::vector<std::string> after = TypesOf(TopLevelBoxes(output));
  ASSERT_GE(after.size(), 3u);
  EXPECT_EQ(after[0], "ftyp");
  EXPECT_EQ(after[1], "moov");
  EXPECT_EQ(after.back(), "mdat");
  EXPECT_EQ(std::count(after.begin(), after.end(), "mdat"),
            std::count(before.begin(), before.end(), "mdat"));

  const std::string probe =
      "ffprobe -v error -show_entries format=duration,nb_streams:stream=codec_name,nb_frames"
      " -of compact ";
  Command probedIn = RunCommand(probe + Quote(input));
  Command probedOut = RunCommand(probe + Quote(output));
  ASSERT_EQ(probedOut.exitCode, 0) << probedOut.output;
  EXPECT_EQ(probedOut.output, probedIn.output);
  EXPECT_NE(probedOut.output.find("nb_streams=2"), std::string::npos) << probedOut.output;

  const std::string hash = "ffmpeg -v error -i %s -map 0 -c copy -f framemd5 -";
  auto packets = [&](const std::string& file) {
    std::string command = hash;
    command.replace(command.find("%s"), 2, Quote(file));
    return RunCommand(command);
  };
  Command hashedIn = packets(input);
  Command hashedOut = packets(output);
  ASSERT_EQ(hashedOut.exitCode, 0) << hashedOut.output;
  EXPECT_GT(std::count(hashedIn.output.begin(), hashedIn.output.end(), '\n'), 100);
  EXPECT_EQ(hashedOut.output, hashedIn.output);
}

INSTANTIATE_TEST_SUITE_P(Containers, FastStartMovedMediaTest,
                         ::testing::Values("end.mp4", "end.mov"), [](const auto& info) {
                           std::string name = info.param;
                           return name.substr(name.find('.') + 1);
                         });

TEST_F(FastStartMediaTest, FileAlreadyFastStartIsCopiedUnchanged) {
  const std::string input = Sample("front.mp4");
  std::vector<std::string> types = TypesOf(TopLevelBoxes(input));
  ASSERT_LT(IndexOf(types, "moov"), IndexOf(types, "mdat"));

  const std::string output = *folder / "front-copy.mp4";
  Command run = FastStart(input, output);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(ReadFile(output), ReadFile(input));
}

}  // namespace
}  // namespace vidoria::faststart
