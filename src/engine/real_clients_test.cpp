// vidoriad against the clients a phone user's traffic looks like: curl and ffmpeg reading real
// H.264/AAC files over HTTP, seeking with byte ranges.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "engine/engine_fixture.h"

namespace vidoria {
namespace {

using testing::fs::path;
using namespace std::chrono_literals;

// Runs a shell command; returns its exit status and fills `output` with stdout and stderr.
int Shell(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  const int status = ::pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class RealClientsTest : public testing::VidoriadTest {
 protected:
  void SetUp() override {
    if (Shell("command -v ffmpeg && command -v curl") != 0)
      GTEST_SKIP() << "ffmpeg or curl missing";
    media_ = home_ / "Videos";
    testing::fs::create_directories(media_);
    // One file with its index in front, one with it at the end, one with a non-ASCII name.
    const std::string source =
        "ffmpeg -v error -y -f lavfi -i testsrc=duration=6:size=320x240:rate=25 -f lavfi -i "
        "sine=duration=6 -c:v libx264 -preset ultrafast -g 25 -c:a aac -shortest ";
    ASSERT_EQ(Shell(source + "-movflags +faststart '" + (media_ / "Front.mp4").string() + "'"), 0);
    ASSERT_EQ(Shell(source + "'" + (media_ / "End.mp4").string() + "'"), 0);
    testing::fs::copy_file(media_ / "Front.mp4", media_ / "Été à Paris.mp4");
    std::string library = "4\r\n3\r\nMOVIE\r\nMOVIE\r\nMOVIE\r\n";
    for (const char* name : {"Front.mp4", "End.mp4", "Été à Paris.mp4"}) {
      library += (media_ / name).string() + "\r\n";
    }
    library += "Front.mp4\r\nEnd.mp4\r\nÉté à Paris.mp4\r\n1:01:40\r\n1:01:40\r\n1:01:40\r\n";
    Write(data_ / "LIBRARY.kavra", library);
    port_ = FreePort();
    Write(data_ / "settings.kavra", SettingsText(port_));
    pid_ = Spawn();
    base_ = "http://127.0.0.1:" + std::to_string(port_) + "/";
    for (int i = 0; i < 500 && Shell("curl -s -o /dev/null " + base_ + "kavra/") == 7; ++i) {
      std::this_thread::sleep_for(20ms);
    }
  }
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      EXPECT_EQ(WaitExit(pid_), 0);
    }
  }
  std::string Curl(const std::string& arguments) {
    std::string out;
    Shell("curl -s " + arguments, &out);
    return out;
  }

  path media_;
  int port_ = 0;
  pid_t pid_ = -1;
  std::string base_;
};

TEST_F(RealClientsTest, CurlSeesEachKindOfAnswer) {
  const std::string size = std::to_string(testing::fs::file_size(media_ / "Front.mp4"));
  struct Case {
    std::string arguments;
    std::string expected;
  };
  const Case cases[] = {
      {"-o /dev/null -w '%{http_code} %{size_download}' " + base_ + "Front.mp4", "200 " + size},
      {"-o /dev/null -w '%{http_code} %{size_download}' -r 0-1 " + base_ + "Front.mp4", "206 2"},
      {"-o /dev/null -w '%{http_code}' -r 999999999- " + base_ + "Front.mp4", "416"},
      {"-I -o /dev/null -w '%{http_code}' " + base_ + "End.mp4", "200"},
      {"-o /dev/null -w '%{http_code}' " + base_ + "Unknown.mp4", "400"},
      {"-o /dev/null -w '%{http_code}' " + base_ + "nothing.css", "404"},
      {"-o /dev/null -w '%{http_code}' --path-as-is " + base_ + "../etc/passwd", "403"},
      {"-o /dev/null -w '%{http_code} %{redirect_url}' " + base_ + "kavra",
       "301 " + base_ + "kavra/"},
      {"-o /dev/null -w '%{http_code}' -X POST " + base_ + "Front.mp4", "400"},
  };
  for (const auto& c : cases) EXPECT_EQ(Curl(c.arguments), c.expected) << c.arguments;
}

TEST_F(RealClientsTest, FfmpegDecodesAndSeeksOverHttp) {
  for (const std::string name : {"Front.mp4", "End.mp4", "%C3%89t%C3%A9%20%C3%A0%20Paris.mp4"}) {
    for (const std::string seek : {"", "-ss 3 "}) {
      SCOPED_TRACE(name + " " + seek);
      std::string output;
      EXPECT_EQ(Shell("ffmpeg -v error " + seek + "-i " + base_ + name + " -f null -", &output), 0);
      EXPECT_EQ(output, "");
    }
  }
}

}  // namespace
}  // namespace vidoria
