#include "web/media_facts_cache.h"

#include <sys/stat.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "mp4/test_support.h"

namespace vidoria {
namespace {

using mp4::test_support::MakeBox;
using mp4::test_support::MakeFtyp;
using mp4::test_support::TempFolder;
using mp4::test_support::WriteFile;

// A movie box with only its header: a duration of `seconds` at a time scale of 1000.
std::string Movie(uint32_t seconds) {
  std::string mvhd(100, '\0');
  const uint32_t scale = 1000, duration = seconds * 1000;
  for (int i = 0; i < 4; ++i) {
    mvhd[12 + i] = char(scale >> (24 - 8 * i));
    mvhd[16 + i] = char(duration >> (24 - 8 * i));
  }
  return MakeFtyp() + MakeBox("moov", MakeBox("mvhd", mvhd)) + MakeBox("mdat", "media");
}

TEST(MediaFactsCacheTest, ReadsOncePerVersionOfTheFileAndLooksUpWithoutReading) {
  TempFolder folder;
  const std::string path = folder / "a.mp4";
  MediaFactsCache cache;
  EXPECT_EQ(cache.Read(folder / "missing.mp4"), nullptr);
  WriteFile(path, Movie(3));
  EXPECT_EQ(cache.Known(path), nullptr) << "never read yet";
  const MediaFactsCache::Facts first = cache.Read(path);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->durationMs, 3000u);
  EXPECT_EQ(cache.Read(path), first) << "the same file is not read again";
  EXPECT_EQ(cache.Known(path), first);

  // Rewritten with another size and time: known no more, read again.
  WriteFile(path, Movie(4) + MakeBox("free", "longer"));
  timespec times[2] = {{0, UTIME_NOW}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_EQ(cache.Known(path), nullptr);
  const MediaFactsCache::Facts second = cache.Read(path);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->durationMs, 4000u);
  // A file that is no MP4 is remembered as such, and its lookup stays empty.
  WriteFile(path, "text");
  EXPECT_EQ(cache.Read(path), nullptr);
  EXPECT_EQ(cache.Known(path), nullptr);
}

}  // namespace
}  // namespace vidoria
