#include "library/user_folders.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "library/library_error.h"
#include "platform/env_for_tests.h"
#include "platform/temp_folder_for_tests.h"

namespace vidoria {
namespace {

TEST(MyFoldersTest, AreTheUserFoldersWhenThereIsAHome) {
  TempFolder home;
  home.Write(".config/user-dirs.dirs", "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n");
  const EnvLookup env = EnvFrom({{"HOME", home.Path().substr(0, home.Path().size() - 1)}});
  EXPECT_EQ(MyDocumentsFolder(env), home.Path("Documents/"));
  EXPECT_EQ(MyVideoFolder(env), home.Path("Filme/"));
}

TEST(MyFoldersTest, NoHomeIsTheProgramsDocumentsError) {
  for (const EnvLookup& env : {EnvFrom({}), EnvFrom({{"HOME", ""}})}) {
    try {
      MyDocumentsFolder(env);
      ADD_FAILURE() << "no error";
    } catch (const LibraryError& e) {
      EXPECT_STREQ(e.what(), "Could not determine My Documents path");
    }
    EXPECT_THROW(MyVideoFolder(env), LibraryError);
  }
}

}  // namespace
}  // namespace vidoria
