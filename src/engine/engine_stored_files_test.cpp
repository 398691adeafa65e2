// The engine and its stored files: a damaged settings file, the watched folders' order, and names
// with line breaks, which must never cost a stored file its next save.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/engine_fixture.h"
#include "library/line_breaks.h"
#include "library/settings.h"
#include "library/table_layouts.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;
using testing::EngineTest;
using Lines = std::vector<std::string>;

class EngineStoredFilesTest : public EngineTest {
 protected:
  static bool Logged(Engine& engine, const std::string& text) {
    const Lines lines = engine.Activity().Lines();
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    });
  }
};

// A damaged settings file once stopped start-up half-way and was then overwritten at close, losing
// the stored login. Now it is kept aside, reported, and the program runs on the defaults.
TEST_F(EngineStoredFilesTest, DamagedSettingsAreKeptAsideAndTheDefaultsUsed) {
  const std::string login = "Autorun ON\r\nAutostart OFF\r\nAutoscan ON\r\n";
  const std::string rest = "ann\r\n" + EncodeText(kCypherKey, "secret") + "\r\nlogin ON\r\n0\r\n";
  const struct {
    const char* what;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"empty", "", "it ends after 0 lines, before line 1"},
      {"too few lines", "Autorun ON\r\nAutostart OFF\r\n", "it ends after 2 lines, before line 3"},
      {"interval no number", login + "ten\r\n" + rest, "line 4 (the scan interval) is not a whole"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(data_ / "settings.kavra.bad");
    Write(data_ / "settings.kavra", c.bytes);
    errors_.clear();
    {
      Engine engine(Options());
      ASSERT_TRUE(engine.Create());
      EXPECT_EQ(SettingsLines(engine.CurrentSettings()), SettingsLines(Settings{}));
      EXPECT_FALSE(engine.RescanTimerEnabled()) << "no line of the damaged file took effect";
      const std::string notice = std::string("settings.kavra could not be read (") + c.reason;
      ASSERT_EQ(errors_.size(), 1u);
      EXPECT_NE(errors_[0].find(notice), std::string::npos) << errors_[0];
      EXPECT_NE(errors_[0].find("kept as settings.kavra.bad; starting with the default settings."),
                std::string::npos)
          << errors_[0];
      EXPECT_TRUE(Logged(engine, notice));
      engine.Close();
    }
    EXPECT_EQ(Read(data_ / "settings.kavra.bad"), c.bytes);
    EXPECT_EQ(Read(data_ / "settings.kavra"), SettingsText(80));
  }

  // A good file is applied as it always was and nothing is set aside.
  fs::remove(data_ / "settings.kavra.bad");
  Write(data_ / "settings.kavra", "Autorun OFF\r\nAutostart OFF\r\nAutoscan ON\r\n20\r\n" + rest);
  errors_.clear();
  Engine engine(Options());
  ASSERT_TRUE(engine.Create());
  EXPECT_TRUE(errors_.empty());
  EXPECT_FALSE(fs::exists(data_ / "settings.kavra.bad"));
  EXPECT_EQ(engine.CurrentSettings().username, "ann");
  EXPECT_EQ(engine.CurrentSettings().password, "secret");
  EXPECT_TRUE(engine.CurrentSettings().login);
  EXPECT_EQ(engine.CurrentSettings().scanMinutes, 20);
  EXPECT_TRUE(engine.RescanTimerEnabled());
}

TEST_F(EngineStoredFilesTest, WatchedFoldersAreStoredInTheOrderTheWindowListsThem) {
  Write(data_ / "FOLDERS.kavra",
        (home_ / "m").string() + "/\r\n" + (home_ / "B").string() + "/\r\n");
  for (const char* name : {"m", "B", "c", "a"}) fs::create_directories(home_ / name);
  {
    Engine engine(Options());
    ASSERT_TRUE(engine.Create());
    EXPECT_EQ(engine.AddWatchedFolder((home_ / "c").string()), std::nullopt);
    EXPECT_EQ(engine.AddWatchedFolder((home_ / "a").string()), std::nullopt);
    engine.Close();
  }
  const std::string home = home_.string();
  EXPECT_EQ(Read(data_ / "FOLDERS.kavra"),
            home + "/a/\r\n" + home + "/B/\r\n" + home + "/c/\r\n" + home + "/m/\r\n");
}

// A run killed during a save leaves its unfinished copy beside the real file. The next start
// loads the real one and clears the copy, so crashes do not pile up files in the data folder.
TEST_F(EngineStoredFilesTest, UnfinishedCopiesOfKilledRunsAreClearedAtStart) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const std::string library = "4\r\n1\r\nMOVIE\r\n/v/a.mp4\r\na.mp4\r\n1:01:40\r\n";
  Write(data_ / "LIBRARY.kavra", library);
  const fs::path copy = data_ / ("LIBRARY.kavra.tmp-" + std::to_string(child) + "-0");
  Write(copy, "4\r\n1\r\nMOV");
  Engine engine(Options());
  ASSERT_TRUE(engine.Create());
  EXPECT_EQ(engine.LibraryTable().Cell(LibraryColumn::kName, 0), "a.mp4");
  EXPECT_FALSE(fs::exists(copy));
  EXPECT_TRUE(Logged(engine, "Removed an unfinished copy of LIBRARY.kavra"));
  EXPECT_TRUE(errors_.empty());
}

// Every way a name the user chose reaches a stored line refuses a line break, says so in the
// activity log, and leaves every stored file writable.
TEST_F(EngineStoredFilesTest, NamesWithLineBreaksAreRefusedAndLogged) {
  const fs::path broken = home_ / "two\nlines";
  fs::create_directories(broken);
  Write(broken / "film.mp4", "x");
  fs::create_directories(home_ / "good");
  {
    Engine engine(Options());
    ASSERT_TRUE(engine.Create());
    EXPECT_NE(engine.AddWatchedFolder(broken.string()), std::nullopt);
    EXPECT_TRUE(Logged(engine, "Not added: " + Printable(broken.string()) + " has a line break"));
    EXPECT_EQ(engine.AddWatchedFolder((home_ / "good").string()), std::nullopt);
    EXPECT_EQ(engine.WatchedFolders(), Lines{(home_ / "good").string() + "/"});

    EXPECT_EQ(engine.RenamePlaylist("Favorites", "Fav\r\nx"), RenameOutcome::kLineBreak);
    EXPECT_TRUE(
        Logged(engine, "Not renamed: Favorites keeps its name; Fav\\r\\nx has a line break"));

    EXPECT_NE(engine.AddUser("a\nb", "pw"), std::nullopt);
    EXPECT_TRUE(Logged(engine, "Not added: the user name a\\nb has a line break"));
    EXPECT_NE(engine.AddUser("carl", "x\xfd"), std::nullopt);
    EXPECT_TRUE(Logged(engine, "Not added: the password for the user carl cannot be stored."));

    EXPECT_NE(engine.SetCredentials("ann\r", "pw"), std::nullopt);
    EXPECT_TRUE(Logged(engine, "Login not changed: the user name ann\\r has a line break"));
    EXPECT_NE(engine.SetPortText("80\n81"), std::nullopt);
    EXPECT_TRUE(Logged(engine, "Port not changed: 80\\n81 has a line break"));
    for (const std::string& line : engine.Activity().Lines()) {
      EXPECT_EQ(line.find("x\xfd"), std::string::npos) << "a password in the log: " << line;
    }

    // The refused names reached nothing: a scan stores only the good folder's files.
    const auto start = Engine::Clock::now();
    engine.Tick(start);
    engine.Tick(start + Engine::kScanTick);
    testing::TickUntilScanned(engine, start + Engine::kScanTick);
    engine.Close();
  }
  EXPECT_TRUE(errors_.empty()) << ::testing::PrintToString(errors_);
  EXPECT_EQ(Read(data_ / "FOLDERS.kavra"), (home_ / "good").string() + "/\r\n");
  EXPECT_EQ(Read(data_ / "PLAYLISTS.kavra"), "4\r\n1\r\nFavorites\r\n\r\n\r\n\r\n");
  EXPECT_EQ(Read(data_ / "USERS.kavra"), "2\r\n1\r\n\r\n\r\n");
  EXPECT_EQ(Read(data_ / "settings.kavra"), SettingsText(80));
}

}  // namespace
}  // namespace vidoria
