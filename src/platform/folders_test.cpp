#include "platform/folders.h"

#include <cerrno>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "platform/env_for_tests.h"
#include "platform/temp_folder_for_tests.h"

namespace vidoria {
namespace {

TEST(ProgramFolderTest, IsTheFolderOfThisExecutable) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(folder.front(), '/');
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(DataHomeTest, PrefersAnAbsoluteXdgDataHome) {
  EXPECT_EQ(DataHome(EnvFrom({{"XDG_DATA_HOME", "/x/data"}, {"HOME", "/home/u"}})), "/x/data/");
  EXPECT_EQ(DataHome(EnvFrom({{"XDG_DATA_HOME", "relative"}, {"HOME", "/home/u"}})),
            "/home/u/.local/share/");
  EXPECT_EQ(DataHome(EnvFrom({{"HOME", "/home/u/"}})), "/home/u/.local/share/");
  EXPECT_EQ(DataHome(EnvFrom({})), ProgramFolder());
}

TEST(FindDataFolderTest, PrefersKelvane3ElseKelvane4) {
  TempFolder home;
  EXPECT_EQ(FindDataFolder(home.Path()).dataFolder, home.Path("Kelvane 4/"));
  EXPECT_FALSE(FindDataFolder(home.Path()).dataFolderOk);

  home.MakeFolder("Kelvane 4");
  EXPECT_EQ(FindDataFolder(home.Path()).dataFolder, home.Path("Kelvane 4/"));
  EXPECT_TRUE(FindDataFolder(home.Path()).dataFolderOk);

  home.MakeFolder("Kelvane3");
  const std::string withoutSlash = home.Path().substr(0, home.Path().size() - 1);
  EXPECT_EQ(FindDataFolder(withoutSlash).dataFolder, home.Path("Kelvane3/"));
  EXPECT_TRUE(FindDataFolder(withoutSlash).dataFolderOk);
}

TEST(FindDataFolderTest, AFileNamedLikeTheFolderDoesNotCount) {
  TempFolder home;
  home.Write("Kelvane3", "not a folder");
  EXPECT_EQ(FindDataFolder(home.Path()).dataFolder, home.Path("Kelvane 4/"));
  EXPECT_FALSE(FindDataFolder(home.Path()).dataFolderOk);
}

TEST(CreateDataSubfoldersTest, CreatesWhatIsMissingAndKeepsWhatExists) {
  TempFolder home;
  home.Write("Kelvane 4/LOG/old.log", "kept");
  EXPECT_TRUE(CreateDataSubfolders(home.Path("Kelvane 4/")));
  EXPECT_TRUE(std::filesystem::is_directory(home.Path("Kelvane 4/temp")));
  EXPECT_EQ(TempFolder::Read(home.Path("Kelvane 4/LOG/old.log")), "kept");

  EXPECT_TRUE(CreateDataSubfolders(home.Path("new/Kelvane3")));
  EXPECT_TRUE(std::filesystem::is_directory(home.Path("new/Kelvane3/LOG")));

  home.Write("blocked", "");
  const OsStatus blocked = CreateDataSubfolders(home.Path("blocked/Kelvane3/"));
  ASSERT_FALSE(blocked);
  EXPECT_EQ(blocked.Error().what, "cannot create " + home.Path("blocked/Kelvane3/"));
  EXPECT_EQ(blocked.Error().code, ENOTDIR);
}

class UserFoldersTest : public ::testing::Test {
 protected:
  std::string Home() const { return home_.Path().substr(0, home_.Path().size() - 1); }
  EnvLookup HomeEnv() const { return EnvFrom({{"HOME", Home()}}); }
  void WriteUserDirs(const std::string& text) const { home_.Write(".config/user-dirs.dirs", text); }

  TempFolder home_;
};

TEST_F(UserFoldersTest, WithoutUserDirsTheUsualNamesUnderHome) {
  EXPECT_EQ(UserDocumentsFolder(HomeEnv()), home_.Path("Documents/"));
  EXPECT_EQ(UserVideosFolder(HomeEnv()), home_.Path("Videos/"));
}

TEST_F(UserFoldersTest, UserDirsAreReadWithHomeExpanded) {
  WriteUserDirs(
      "# This file is written by xdg-user-dirs-update\n"
      "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
      "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
      "XDG_VIDEOS_DIR=\"/data/Meine \\\"Filme\\\"\"\n");
  EXPECT_EQ(UserDocumentsFolder(HomeEnv()), home_.Path("Dokumente/"));
  EXPECT_EQ(UserVideosFolder(HomeEnv()), "/data/Meine \"Filme\"/");
}

TEST_F(UserFoldersTest, UnusableEntriesFallBackToTheUsualNames) {
  WriteUserDirs(
      "#XDG_DOCUMENTS_DIR=\"/commented/out\"\n"
      "XDG_DOCUMENTS_DIR=\"relative/path\"\n"
      "XDG_VIDEOS_DIR=\"$HOME/\"\n");  // XDG's way of saying "none"
  EXPECT_EQ(UserDocumentsFolder(HomeEnv()), home_.Path("Documents/"));
  EXPECT_EQ(UserVideosFolder(HomeEnv()), home_.Path("Videos/"));
}

TEST_F(UserFoldersTest, XdgConfigHomeIsWhereUserDirsLive) {
  home_.Write("elsewhere/user-dirs.dirs", "XDG_VIDEOS_DIR=\"$HOME/Filme\"\r\n");
  WriteUserDirs("XDG_VIDEOS_DIR=\"$HOME/Ignored\"\n");
  EXPECT_EQ(
      UserVideosFolder(EnvFrom({{"HOME", Home()}, {"XDG_CONFIG_HOME", home_.Path("elsewhere")}})),
      home_.Path("Filme/"));
}

TEST_F(UserFoldersTest, NoHomeMeansNoDocumentsFolder) {
  home_.Write("cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/data/docs\"\n");
  for (const EnvLookup& env :
       {EnvFrom({}), EnvFrom({{"HOME", ""}}), EnvFrom({{"XDG_CONFIG_HOME", home_.Path("cfg")}})}) {
    EXPECT_EQ(UserDocumentsFolder(env), std::nullopt);
    EXPECT_EQ(UserVideosFolder(env), std::nullopt);
  }
}

TEST(CommonFoldersTest, AreTheMachinesServedFolders) {
  EXPECT_EQ(CommonDocumentsFolder(), "/srv/");
  EXPECT_EQ(CommonVideoFolder(), "/srv/Videos/");
}

}  // namespace
}  // namespace vidoria
