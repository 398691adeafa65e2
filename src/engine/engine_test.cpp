#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "engine/engine_fixture.h"
#include "library/cipher.h"
#include "library/stored_files.h"
#include "library/table_layouts.h"
#include "server/test_client.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::EngineTest;
using testing::VidoriadTest;

TEST_F(EngineTest, WithoutTheCompanionFolderNothingIsLoadedOrSaved) {
  fs::remove_all(data_);
  {
    Engine engine(Options());
    EXPECT_FALSE(engine.Create());
    EXPECT_FALSE(engine.DataFolderOk());
    engine.Close();
    engine.Destroy();
  }
  EXPECT_FALSE(fs::exists(home_ / ".local/share/Kelvane 4"));
  core_.Shutdown();
}

TEST_F(EngineTest, FirstRunUsesDefaultsAndSavesEverythingAtClose) {
  {
    Engine engine(Options());
    ASSERT_TRUE(engine.Create());
    EXPECT_EQ(engine.DataFolder(), data_.string() + "/");
    EXPECT_TRUE(fs::is_directory(data_ / "LOG"));
    EXPECT_TRUE(fs::is_directory(data_ / "temp"));
    EXPECT_EQ(engine.PlaylistTable().Cell(PlaylistColumn::kName, 0), "Favorites");
    engine.Close();
    engine.Destroy();
  }
  EXPECT_EQ(Read(data_ / "settings.kavra"),
            "Autorun OFF\r\nAutostart OFF\r\nAutoscan OFF\r\n5\r\nqorvu\r\n" +
                EncodeText(kCypherKey, "qorvu") + "\r\nlogin OFF\r\n80\r\n");
  EXPECT_EQ(Read(data_ / "PLAYLISTS.kavra"), "4\r\n1\r\nFavorites\r\n\r\n\r\n\r\n");
  EXPECT_EQ(Read(data_ / "LIBRARY.kavra"), "4\r\n1\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(Read(data_ / "USERS.kavra"), "2\r\n1\r\n\r\n\r\n");
  EXPECT_EQ(Read(data_ / "FOLDERS.kavra"), "");
  core_.Shutdown();
}

TEST_F(EngineTest, AnAutostartEntryThatCannotBeWrittenIsReported) {
  // The desktop's autostart folder cannot be made: its parent is a file.
  Write(home_ / ".config", "not a folder");
  {
    Engine engine(Options());
    ASSERT_TRUE(engine.Create());
    engine.SetAutostart(true);
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_TRUE(errors_[0].starts_with("The program could not be set to start when you log in: "))
        << errors_[0];
    engine.Close();
    engine.Destroy();
  }
  core_.Shutdown();
}

TEST_F(EngineTest, DamagedStoredFileIsSetAsideAndTheOthersStillLoad) {
  Write(data_ / "LIBRARY.kavra", "4\r\n2\r\nMOVIE\r\n");
  Write(data_ / "PLAYLISTS.kavra", "4\r\n1\r\nMine\r\n\r\na.mp4\r\n\r\n");
  Write(data_ / "FOLDERS.kavra", "/videos/\r\n");
  {
    Engine engine(Options());
    ASSERT_TRUE(engine.Create());
    EXPECT_EQ(engine.PlaylistTable().Cell(PlaylistColumn::kName, 0), "Mine");
    EXPECT_EQ(engine.WatchedFolders(), (std::vector<std::string>{"/videos/"}));
    EXPECT_EQ(engine.LibraryTable().Cell(LibraryColumn::kPath, 0), "");
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find("LIBRARY.kavra could not be read"), std::string::npos) << errors_[0];
  }
  EXPECT_EQ(Read(data_ / "LIBRARY.kavra.bad"), "4\r\n2\r\nMOVIE\r\n");
  core_.Shutdown();
}

TEST_F(EngineTest, FirstGenerationDropsPlaylistItemsTheLibraryLacks) {
  Write(data_ / "LIBRARY.kavra", "4\r\n1\r\nMOVIE\r\n/v/Film.mp4\r\nFilm.mp4\r\n1:01:40\r\n");
  Write(data_ / "PLAYLISTS.kavra", "4\r\n1\r\nMine\r\n\r\nFILM.MP4\r\nGone.mp4\r\n");
  Engine engine(Options());
  ASSERT_TRUE(engine.Create());
  const auto start = Engine::Clock::now();
  engine.Shown(start);
  engine.Tick(start + 500ms);
  EXPECT_EQ(engine.PlaylistTable().Cell(PlaylistColumn::kFirstSlot + 1, 0), "Gone.mp4")
      << "not before its second";
  engine.Tick(start + 1000ms);
  EXPECT_EQ(engine.PlaylistTable().Cell(PlaylistColumn::kFirstSlot, 0), "FILM.MP4")
      << "letter case does not matter";
  EXPECT_EQ(engine.PlaylistTable().Cell(PlaylistColumn::kFirstSlot + 1, 0), "");
  EXPECT_EQ(engine.PublishedLibrary()->playlistTable.Cell(PlaylistColumn::kFirstSlot + 1, 0), "");
}

TEST_F(EngineTest, ScanTimerAddsQueuedFilesAndStoresTheLibrary) {
  Write(home_ / "Videos/Film.mp4", "x");
  Engine engine(Options());
  ASSERT_TRUE(engine.Create());
  engine.QueueFile((home_ / "Videos").string());
  const auto start = Engine::Clock::now();
  engine.Tick(start);
  EXPECT_EQ(engine.LibraryTable().Cell(LibraryColumn::kName, 0), "")
      << "the scan timer ticks 2 s after it was enabled";
  engine.Tick(start + 2000ms);
  testing::TickUntilScanned(engine, start + 2000ms);
  EXPECT_EQ(engine.LibraryTable().Cell(LibraryColumn::kName, 0), "Film.mp4");
  EXPECT_NE(Read(data_ / "LIBRARY.kavra").find("Film.mp4"), std::string::npos);
  EXPECT_EQ(engine.PublishedLibrary()->libraryTable.Cell(LibraryColumn::kName, 0), "Film.mp4");
}

TEST_F(VidoriadTest, WithoutTheCompanionFolderItSaysSoAndFails) {
  fs::remove_all(data_);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t pid = Spawn(pipeFds[1]);
  ::close(pipeFds[1]);
  EXPECT_NE(WaitExit(pid), 0);
  char buffer[256] = {};
  const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer - 1);
  ::close(pipeFds[0]);
  EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0),
            "Please install Kelvane v3 or v4\n");
}

TEST_F(VidoriadTest, ServesOnTheStoredPortAndSavesOnSigterm) {
  const int port = FreePort();
  Write(data_ / "settings.kavra", SettingsText(port));
  Write(data_ / "LIBRARY.kavra",
        "4\r\n1\r\nMOVIE\r\n" + (home_ / "v/Film.mp4").string() + "\r\nFilm.mp4\r\n1:01:40\r\n");
  Write(home_ / "v/Film.mp4", "0123456789");
  const pid_t pid = Spawn();
  std::string answer;
  for (int i = 0; i < 500 && answer.empty(); ++i) {
    testing::TestClient client(std::to_string(port));
    if (client.Connected()) {
      client.Send("GET /Film.mp4 HTTP/1.1\r\nRange: bytes=2-5\r\n\r\n");
      answer = client.ReadUntil("2345");
    } else {
      std::this_thread::sleep_for(20ms);
    }
  }
  EXPECT_EQ(answer,
            "HTTP/1.1 206 Partial Content\r\nCONTENT-TYPE: video/mp4\r\nCONTENT-LENGTH: "
            "4\r\nContent-Range: bytes 2-5/10\r\n\r\n2345");
  fs::remove(data_ / "settings.kavra");
  ::kill(pid, SIGTERM);
  EXPECT_EQ(WaitExit(pid), 0);
  EXPECT_EQ(Read(data_ / "settings.kavra"), SettingsText(port));
  EXPECT_TRUE(fs::exists(data_ / "USERS.kavra"));
  bool logged = false;
  for (const auto& entry : fs::directory_iterator(data_ / "LOG")) {
    logged = logged || Read(entry.path()).find("PART 127.0.0.1") != std::string::npos;
  }
  EXPECT_TRUE(logged);
}

}  // namespace
}  // namespace vidoria
