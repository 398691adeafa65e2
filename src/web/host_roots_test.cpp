#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "web/content_types.h"
#include "web/host_roots.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;

TEST(ContentTypesTest, DefaultLinesAndFallback) {
  ContentTypes types;
  for (const auto& line : DefaultContentTypeLines()) types.Add(line);
  struct Case {
    const char* name;
    const char* type;
  };
  const Case cases[] = {
      {"/kavra/style.css", "text/css"},
      {"Movie.MP4", "video/mp4"},
      {"a.b/c.JPG", "image/jpeg"},
      {"x.svgz", "image/svg+xml"},
      {"page.htm", "text/html"},
      {"noext", ""},
      {"file.xyz", ""},
      {"dir.mp4/file", ""},
      {"a.tar.gz", "application/gzip"},
  };
  for (const auto& c : cases) EXPECT_EQ(types.For(c.name), c.type) << c.name;

  types.Clear();
  for (const auto& line : DefaultContentTypeLines()) types.Add(line);
  types.Add("* = application/octet-stream");  // too late: "*" is already present
  EXPECT_EQ(types.For("file.xyz"), "");
  ContentTypes withDefault;
  withDefault.Add("* = application/octet-stream");
  withDefault.Add("mp4 = video/mp4");
  withDefault.Add("mp4 = text/plain");  // the first entry for a key wins
  withDefault.Add("no equals sign");
  EXPECT_EQ(withDefault.For("file.xyz"), "application/octet-stream");
  EXPECT_EQ(withDefault.For("a.mp4"), "video/mp4");
}

TEST(HostRootsTest, RootsResolveUnderTheProgramFolder) {
  HostRoots roots;
  roots.Add("* = ./", "/opt/vidoria/");
  roots.Add("media.local = /srv/media/../videos/", "/opt/vidoria/");
  roots.Add("* = /elsewhere", "/opt/vidoria/");  // present already
  EXPECT_EQ(roots.For("anything:8080"), "/opt/vidoria");
  EXPECT_EQ(roots.For("MEDIA.LOCAL"), "/srv/videos");
  HostRoots none;
  EXPECT_EQ(none.For("x"), "");
}

// A program folder with a site and a sibling folder whose name starts with the root's.
class MapRequestPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::path(::testing::TempDir()) / ("map" + std::to_string(::getpid()));
    fs::remove_all(base_);
    root_ = (base_ / "prog").string();
    fs::create_directories(root_ + "/kavra/empty");
    fs::create_directories(base_ / "prog2");
    Write(root_ + "/kavra/style.css", "body{}");
    Write(root_ + "/kavra/index.html", "<html/>");
    Write(root_ + "/zero.txt", "");
    Write((base_ / "prog2" / "secret.txt").string(), "secret");
    Write((base_ / "secret.txt").string(), "secret");
  }
  void TearDown() override { fs::remove_all(base_); }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  MappedPath Map(const std::string& path) { return MapRequestPath(path, root_, {"index.html"}); }

  fs::path base_;
  std::string root_;
};

TEST_F(MapRequestPathTest, AnswersForEachKindOfPath) {
  using Kind = MappedPath::Kind;
  struct Case {
    const char* path;
    Kind kind;
    const char* name;
    int64_t size;
  };
  const Case cases[] = {
      {"/kavra/style.css", Kind::kFile, "/kavra/style.css", 6},
      {"\\kavra\\style.css", Kind::kFile, "/kavra/style.css", 6},
      {"/kavra/./x/../style.css", Kind::kFile, "/kavra/style.css", 6},
      {"/movies*/kavra/style.css", Kind::kFile, "/kavra/style.css", 6},
      {"/kavra", Kind::kFolderMoved, "", -1},
      {"/kavra/", Kind::kFile, "/kavra/index.html", 7},
      {"/kavra/empty/", Kind::kFile, "/kavra/empty/", -1},
      {"/zero.txt", Kind::kFile, "/zero.txt", 0},
      {"/missing.css", Kind::kFile, "/missing.css", -1},
      {"/%2e%2e/secret.txt", Kind::kFile, "/%2e%2e/secret.txt", -1},
      {"//kavra//style.css", Kind::kFile, "/kavra/style.css", 6},
      {"/../secret.txt", Kind::kForbidden, "", -1},
      {"/..\\secret.txt", Kind::kForbidden, "", -1},
      {"/../prog2/secret.txt", Kind::kForbidden, "", -1},
      {"2/secret.txt", Kind::kForbidden, "", -1},
      {"/kavra/../../prog/kavra/style.css", Kind::kFile, "/kavra/style.css", 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const MappedPath mapped = Map(c.path);
    EXPECT_EQ(mapped.kind, c.kind);
    if (c.kind == Kind::kFile) {
      EXPECT_EQ(mapped.name, c.name);
      EXPECT_EQ(mapped.fileSize, c.size);
    }
  }
}

TEST_F(MapRequestPathTest, LibraryFolderRootsEndInASlash) {
  const std::string folder = root_ + "/kavra/";
  const MappedPath mapped = MapRequestPath("style.css", folder, {"index.html"});
  EXPECT_EQ(mapped.kind, MappedPath::Kind::kFile);
  EXPECT_EQ(mapped.name, "style.css");
  EXPECT_EQ(mapped.fileSize, 6);
  EXPECT_EQ(MapRequestPath("../../secret.txt", folder, {}).kind, MappedPath::Kind::kForbidden);
}

}  // namespace
}  // namespace vidoria
