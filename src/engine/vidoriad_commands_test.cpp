// vidoriad's commands as a whole, with the real program: a running program makes every change
// refuse without writing, a home without the data folder gets the old message, input that is no
// command gets one line and exit code 2, and the looking commands read the stored files back.
#include <gtest/gtest.h>

#include "engine/vidoriad_run_for_tests.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;
using testing::VidoriadCommandTest;

// Every command that would change a stored file.
const std::vector<std::vector<std::string>> kChanges = {
    {"watch", "Videos"},    {"unwatch", "Films"},     {"set", "port", "8080"},
    {"set", "login", "on"}, {"set", "user", "anna"},  {"set", "password"},
    {"set", "scan", "60"},  {"set", "sharing", "on"}, {"scan"},
};

std::string Words(const std::vector<std::string>& args) {
  std::string line;
  for (const auto& arg : args) line += arg + " ";
  return line;
}

TEST_F(VidoriadCommandTest, WhileAProgramRunsChangesAreRefusedAndNothingIsWritten) {
  fs::create_directories(home_ / "Videos");
  Write(home_ / "Videos/Film.mp4", "x");
  Write(data_ / "FOLDERS.kavra", (home_ / "Films").string() + "/\r\n");
  StartServing(FreePort());
  const auto state = DataFolderState();
  for (const auto& args : kChanges) {
    const auto run = Vidoriad(args, "secret\n");
    EXPECT_EQ(run.exitCode, 1) << Words(args);
    EXPECT_EQ(run.err,
              "Vidoria is already running for this data folder. Stop it first; nothing "
              "was changed.\n")
        << Words(args);
    EXPECT_EQ(run.out, "") << Words(args);
    EXPECT_EQ(DataFolderState(), state) << Words(args);
  }
  // Looking is no change: it answers beside the running program.
  const auto status = Vidoriad({"status"});
  EXPECT_EQ(status.exitCode, 0);
  EXPECT_NE(status.out.find("Running:      yes, vidoriad\n"), std::string::npos) << status.out;
  EXPECT_EQ(Vidoriad({"list", "folders"}).out, (home_ / "Films").string() + "/\n");
  EXPECT_EQ(DataFolderState(), state);
  EXPECT_EQ(StopServing(), 0);

  // Once it has ended, the same command goes through.
  EXPECT_EQ(Vidoriad({"set", "port", "8080"}).exitCode, 0);
  EXPECT_TRUE(Read(data_ / "settings.kavra").ends_with("\r\n8080\r\n"));
}

TEST_F(VidoriadCommandTest, WithoutTheDataFolderEveryCommandSaysSoAndMakesNone) {
  fs::remove_all(data_);
  fs::create_directories(home_ / "Videos");
  auto commands = kChanges;
  commands.push_back({"status"});
  commands.push_back({"list"});
  for (const auto& args : commands) {
    const auto run = Vidoriad(args, "secret\n");
    EXPECT_EQ(run.exitCode, 1) << Words(args);
    EXPECT_EQ(run.err, "Please install Kelvane v3 or v4\n") << Words(args);
  }
  EXPECT_FALSE(fs::exists(home_ / ".local/share/Kelvane3"));
  EXPECT_FALSE(fs::exists(home_ / ".local/share/Kelvane 4"));
}

TEST_F(VidoriadCommandTest, InputThatIsNoCommandGetsOneLineAndExitCodeTwo) {
  const auto before = DataFolderState();
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"serve"}, {"set", "port", "http"}, {"watch"}, {"list", "music"}, {"--verbose"}}) {
    const auto run = Vidoriad(args);
    EXPECT_EQ(run.exitCode, 2) << Words(args);
    EXPECT_TRUE(run.err.starts_with("vidoriad: ")) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(DataFolderState(), before);
}

TEST_F(VidoriadCommandTest, HelpListsTheCommandsAndVersionNamesTheRelease) {
  const auto help = Vidoriad({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* command :
       {"watch FOLDER", "unwatch FOLDER", "set port N", "set login on|off", "set user NAME",
        "set password", "set scan MINUTES|off", "set sharing on|off", "scan",
        "list [movies|tv|playlists|folders]", "status", "--version"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
  const auto version = Vidoriad({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "vidoriad (Vidoria 1.4)\n");
}

TEST_F(VidoriadCommandTest, ListShowsTheStoredTables) {
  Write(data_ / "LIBRARY.kavra",
        "4\r\n3\r\nMOVIE\r\nTV\r\nMOVIE\r\n/v/Film.mp4\r\n/v/Show 1.mp4\r\n/w/Film.mp4\r\n"
        "Film.mp4\r\nShow 1.mp4\r\nFilm.mp4\r\n1:01:40\r\n0:22:00\r\n1:01:40\r\n");
  Write(data_ / "PLAYLISTS.kavra",
        "4\r\n2\r\nFavorites\r\nEvening\r\n\r\n\r\nFilm.mp4\r\nShow 1.mp4\r\n\r\nFilm.mp4\r\n");
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"list"}, "Film.mp4\t/v/Film.mp4\nShow 1.mp4\t/v/Show 1.mp4\nFilm.mp4\t/w/Film.mp4\n"},
      {{"list", "movies"}, "Film.mp4\t/v/Film.mp4\nFilm.mp4\t/w/Film.mp4\n"},
      {{"list", "tv"}, "Show 1.mp4\t/v/Show 1.mp4\n"},
      {{"list", "playlists"}, "Favorites\n  Film.mp4\nEvening\n  Show 1.mp4\n  Film.mp4\n"},
      {{"list", "folders"}, ""},
  };
  for (const auto& c : cases) {
    const auto run = Vidoriad(c.args);
    EXPECT_EQ(run.exitCode, 0) << Words(c.args) << run.err;
    EXPECT_EQ(run.out, c.out) << Words(c.args);
  }

  const int port = FreePort();
  Write(data_ / "settings.kavra", SettingsText(port));
  ASSERT_EQ(Vidoriad({"set", "login", "on"}).exitCode, 0);
  ASSERT_EQ(Vidoriad({"set", "scan", "30"}).exitCode, 0);
  const auto status = Vidoriad({"status"});
  EXPECT_EQ(status.exitCode, 0);
  for (const std::string& line :
       {"Data folder:  " + data_.string() + "/\n", std::string("Running:      no\n"),
        "Port:         " + std::to_string(port) + "\n", ":" + std::to_string(port) + "/\n",
        std::string("Sharing:      off"), std::string("Login:        on, as qorvu\n"),
        std::string("Rescan:       every 30 minutes\n"),
        std::string("Movies:       2\nTV shows:     1\n"), std::string("Playlists:    2\n"),
        std::string("Watched:      0 folders\n")}) {
    EXPECT_NE(status.out.find(line), std::string::npos) << line << "\n" << status.out;
  }
}

}  // namespace
}  // namespace vidoria
