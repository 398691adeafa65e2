// vidoriad against the clients a phone user's traffic looks like: curl and ffmpeg reading real
// H.264/AAC files over HTTP, seeking with byte ranges.
#include <cstdio>
#include <fstream>
#include <regex>
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

// The hrefs of a page as the browser's DOM holds them, resolved against the site's root.
std::vector<std::string> Links(const std::string& dom, const std::string& base) {
  std::vector<std::string> links;
  const std::regex href("href=\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(dom.begin(), dom.end(), href); it != std::sregex_iterator();
       ++it) {
    std::string link = (*it)[1];
    for (size_t at = link.find("&amp;"); at != std::string::npos; at = link.find("&amp;")) {
      link.replace(at, 5, "&");
    }
    if (link.starts_with("/")) link = base + link.substr(1);
    links.push_back(link);
  }
  return links;
}

std::string FirstLinkContaining(const std::vector<std::string>& links, const std::string& part) {
  for (const auto& link : links) {
    if (link.find(part) != std::string::npos) return link;
  }
  return {};
}

// The width of a PNG file, from its header.
int PngWidth(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[24] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  return (header[16] << 24) | (header[17] << 16) | (header[18] << 8) | header[19];
}

TEST_F(RealClientsTest, BrowserWalksFromHomeToAVideoAndRendersTheListOnPhones) {
  if (Shell("command -v chromium") != 0) GTEST_SKIP() << "chromium missing";
  const std::string profile = (home_ / "chromium").string();
  const std::string chromium =
      "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
      "--disable-background-networking --disable-component-update --disable-sync "
      "--user-data-dir='" +
      profile + "' ";
  // The list pages exist once the first generation has run, a second after start.
  for (int i = 0; i < 300 && Curl(base_ + "list%26movies").find("Front") == std::string::npos &&
                  Curl("'" + base_ + "list&movies'").find("Front") == std::string::npos;
       ++i) {
    std::this_thread::sleep_for(20ms);
  }
  auto dom = [&](const std::string& url) {
    std::string out;
    Shell(chromium + "--dump-dom '" + url + "'", &out);
    return out;
  };
  const std::string library = FirstLinkContaining(Links(dom(base_), base_), "library.html");
  ASSERT_FALSE(library.empty());
  const std::string movies = FirstLinkContaining(Links(dom(library), base_), "movies");
  ASSERT_FALSE(movies.empty());
  const std::string moviesPage = dom(movies);
  EXPECT_NE(moviesPage.find("Front"), std::string::npos);
  const std::string item = FirstLinkContaining(Links(moviesPage, base_), ".mp4");
  ASSERT_FALSE(item.empty()) << moviesPage;
  EXPECT_EQ(Curl("-o /dev/null -w '%{http_code} %{content_type}' '" + item + "'"), "200 video/mp4");

  const std::string artifacts = VIDORIA_ARTIFACTS;
  testing::fs::create_directories(artifacts);
  for (int width : {320, 412}) {
    const std::string shot = artifacts + "/movies-" + std::to_string(width) + ".png";
    testing::fs::remove(shot);
    Shell(chromium + "--hide-scrollbars --window-size=" + std::to_string(width) +
          ",900 --screenshot='" + shot + "' '" + movies + "'");
    ASSERT_TRUE(testing::fs::exists(shot)) << shot;
    EXPECT_EQ(PngWidth(shot), width);
    EXPECT_GT(testing::fs::file_size(shot), 2000u) << "an empty page compresses to almost nothing";
  }
  // The pictures the page names were fetched and answered.
  bool iconServed = false;
  for (const auto& entry : testing::fs::directory_iterator(data_ / "LOG")) {
    std::ifstream in(entry.path());
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    iconServed =
        iconServed || std::regex_search(text, std::regex("SEND [^\n]*/kavra/[a-z]+\\.png\" [1-9]"));
  }
  EXPECT_TRUE(iconServed);
}

}  // namespace
}  // namespace vidoria
