#include "site/file_exists.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace vidoria {
namespace {

TEST(FileExistsTest, FilesAndLinksToThemCountFoldersDoNot) {
  const std::string file = ::testing::TempDir() + "site_exists_check.mp4";
  const std::string link = file + ".link";
  std::FILE* out = std::fopen(file.c_str(), "w");
  ASSERT_NE(out, nullptr);
  std::fclose(out);
  std::remove(link.c_str());  // left by an interrupted run
  ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);

  EXPECT_TRUE(ExistingFile(file));
  EXPECT_TRUE(ExistingFile(link));
  EXPECT_FALSE(ExistingFile(file + ".missing"));
  EXPECT_FALSE(ExistingFile(::testing::TempDir()));
  EXPECT_FALSE(ExistingFile(""));
  std::remove(link.c_str());
  std::remove(file.c_str());
}

}  // namespace
}  // namespace vidoria
