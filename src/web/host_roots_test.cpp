#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string_view>

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

// The lexical normal form as std::filesystem gives it, made absolute, ".." above the top dropped.
std::string ReferenceNormalPath(std::string_view path) {
  std::string text(path);
  if (text.empty() || text.front() != '/') text.insert(0, "/");
  std::string normal = fs::path(text).lexically_normal().string();
  while (normal.starts_with("/../")) normal.erase(0, 3);
  if (normal == "/..") normal = "/";
  return normal;
}

TEST(NormalPathTest, ResolvesDotsAndSeparatorsByTheText) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "/"},
      {"a/b", "/a/b"},
      {"/a//b/", "/a/b/"},
      {"/a/./b/.", "/a/b/"},
      {"/a/b/..", "/a/"},
      {"/a/b/../../..", "/"},
      {"/../../etc/passwd", "/etc/passwd"},
      {"/a/..b/...", "/a/..b/..."},
      {"//", "//"},
  };
  for (const auto& [path, normal] : cases) EXPECT_EQ(NormalPath(path), normal) << path;
}

// Every path of up to six parts from a small alphabet of names, dots and separators comes out
// as the standard library's lexical normal form makes it.
TEST(NormalPathTest, MatchesTheLexicalNormalFormOfEveryShortPath) {
  const std::string_view parts[] = {"/", ".", "..", "a", ".x", "b.", "\xc3\xa4"};
  std::vector<std::string> paths = {""};
  for (size_t begin = 0, length = 0; length < 6; ++length) {
    const size_t end = paths.size();
    for (size_t i = begin; i < end; ++i) {
      for (std::string_view part : parts) paths.push_back(paths[i] + std::string(part));
    }
    begin = end;
  }
  int mismatches = 0;
  for (const std::string& path : paths) {
    if (NormalPath(path) != ReferenceNormalPath(path) && ++mismatches <= 10) {
      ADD_FAILURE() << "\"" << path << "\" gives \"" << NormalPath(path) << "\", not \""
                    << ReferenceNormalPath(path) << "\"";
    }
  }
  EXPECT_EQ(mismatches, 0);
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
    // The file found is open for its answer, as the path its answer will name.
    EXPECT_EQ(mapped.file.IsOpen(), c.size >= 0);
    if (mapped.file.IsOpen()) {
      EXPECT_EQ(mapped.file.Path(), root_ + c.name);
      struct stat opened {
      }, named{};
      ASSERT_EQ(::fstat(mapped.file.Fd(), &opened), 0);
      ASSERT_EQ(::stat(mapped.file.Path().c_str(), &named), 0);
      EXPECT_EQ(opened.st_ino, named.st_ino);
    }
  }
}

// Links are followed; what is neither a folder nor a regular file is missing, and a named pipe
// is looked at without waiting for a writer.
TEST_F(MapRequestPathTest, LinksFoldersAndOtherFiles) {
  fs::create_symlink(root_ + "/kavra", root_ + "/linked");
  fs::create_symlink(root_ + "/kavra/style.css", root_ + "/style-link.css");
  fs::create_symlink(root_ + "/nowhere", root_ + "/dangling.css");
  ASSERT_EQ(::mkfifo((root_ + "/pipe.css").c_str(), 0644), 0);
  fs::create_directories(root_ + "/closed");
  fs::permissions(root_ + "/closed", fs::perms::none);
  using Kind = MappedPath::Kind;
  const std::pair<const char*, Kind> kinds[] = {
      {"/linked", Kind::kFolderMoved}, {"/closed", Kind::kFolderMoved},  {"/pipe.css", Kind::kFile},
      {"/dangling.css", Kind::kFile},  {"/style-link.css", Kind::kFile},
  };
  for (const auto& [path, kind] : kinds) EXPECT_EQ(Map(path).kind, kind) << path;
  EXPECT_EQ(Map("/linked/style.css").fileSize, 6);
  EXPECT_EQ(Map("/style-link.css").fileSize, 6);
  EXPECT_EQ(Map("/pipe.css").fileSize, -1);
  EXPECT_FALSE(Map("/pipe.css").file.IsOpen());
  EXPECT_EQ(Map("/dangling.css").fileSize, -1);
  EXPECT_EQ(Map("/linked/").name, "/linked/index.html");
  fs::permissions(root_ + "/closed", fs::perms::owner_all);
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
