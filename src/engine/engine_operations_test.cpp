// The engine's operations as a window uses them: server notifications on the owner's thread,
// the traffic reading, settings that refuse what cannot be stored, and table changes that reach
// the request threads' snapshot, the pages and the stored files.
#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

#include "engine/engine_fixture.h"
#include "library/table_layouts.h"
#include "server/test_client.h"
#include "site/page_buffers.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;

class EngineOperationsTest : public testing::EngineTest {
 protected:
  EngineOptions WakingOptions() {
    EngineOptions options = Options();
    options.wake = [this] {
      std::lock_guard lock(mu_);
      ++wakes_;
      cv_.notify_all();
    };
    return options;
  }
  // Ticks the engine each time a request thread wakes it, until `done` holds.
  bool TickUntil(Engine& engine, const std::function<bool()>& done) {
    for (int round = 0; round < 100 && !done(); ++round) {
      std::unique_lock lock(mu_);
      cv_.wait_for(lock, 10s, [&] { return wakes_ > 0; });
      wakes_ = 0;
      lock.unlock();
      engine.Tick(Engine::Clock::now());
    }
    return done();
  }
  // An engine listening on a port the system chose.
  void StartListening(Engine& engine, std::vector<std::string>& events) {
    ServerNotifications notifications;
    notifications.listening = [&] { events.push_back("listening"); };
    notifications.stopped = [&] { events.push_back("stopped"); };
    notifications.listenFailed = [&](const std::string& name, const std::string& message) {
      events.push_back(name + ">" + message);
    };
    engine.SetServerNotifications(std::move(notifications));
    ASSERT_EQ(engine.SetPortText("0"), std::nullopt);
    engine.StartServer();
    ASSERT_TRUE(TickUntil(engine, [&] { return !events.empty(); }));
  }

  std::mutex mu_;
  std::condition_variable cv_;
  int wakes_ = 0;  // guarded by mu_
};

TEST_F(EngineOperationsTest, ServerNotificationsArriveOnlyThroughTick) {
  Engine engine(WakingOptions());
  ASSERT_TRUE(engine.Create());
  std::vector<std::string> events;
  StartListening(engine, events);
  EXPECT_EQ(events, (std::vector<std::string>{"listening"}));
  EXPECT_TRUE(engine.Listening());
  EXPECT_NE(engine.ListeningPort(), "");

  engine.StopServer();
  std::unique_lock lock(mu_);
  ASSERT_TRUE(cv_.wait_for(lock, 10s, [&] { return wakes_ > 0; }));
  lock.unlock();
  EXPECT_EQ(events.size(), 1u) << "nothing runs on the request thread";
  ASSERT_TRUE(TickUntil(engine, [&] { return events.size() == 2; }));
  EXPECT_EQ(events.back(), "stopped");
}

TEST_F(EngineOperationsTest, BusyPortIsReportedWithTheExceptionClass) {
  Engine first(WakingOptions());
  ASSERT_TRUE(first.Create());
  std::vector<std::string> firstEvents;
  StartListening(first, firstEvents);

  Engine second(WakingOptions());
  ASSERT_TRUE(second.Create());
  std::vector<std::string> events;
  ServerNotifications notifications;
  notifications.listenFailed = [&](const std::string& name, const std::string& message) {
    events.push_back(name + ">" + message);
  };
  second.SetServerNotifications(std::move(notifications));
  ASSERT_EQ(second.SetPortText(first.ListeningPort()), std::nullopt);
  second.StartServer();
  ASSERT_TRUE(TickUntil(second, [&] { return !events.empty(); }));
  EXPECT_EQ(events[0],
            "EWinSockException>Error 10048 in function Bind\r\nAddress or Port already in use");
}

TEST_F(EngineOperationsTest, BytesSentAreReadOnceByTheMeter) {
  Write(home_ / "site/kavra/blank.jpg", std::string(5000, 'x'));
  EngineOptions options = WakingOptions();
  options.programFolder = (home_ / "site").string() + "/";
  Engine engine(std::move(options));
  ASSERT_TRUE(engine.Create());
  std::vector<std::string> events;
  StartListening(engine, events);
  {
    testing::TestClient client(engine.ListeningPort());
    client.Send("GET /kavra/blank.jpg HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_NE(client.ReadUntil(std::string(5000, 'x')), "");
  }
  uint64_t sent = 0;
  for (int i = 0; i < 1000 && sent < 5000; ++i) {
    sent += engine.TakeBytesSent();
    if (sent < 5000) std::this_thread::sleep_for(5ms);  // the send is reported after the bytes
  }
  EXPECT_GT(sent, 5000u) << "the body and its header";
  EXPECT_EQ(engine.TakeBytesSent(), 0u);
}

TEST_F(EngineOperationsTest, SettingsThatCannotBeStoredAreRefusedAndTheOldOnesKept) {
  Engine engine(Options());
  ASSERT_TRUE(engine.Create());
  EXPECT_NE(engine.SetCredentials("ann\r\nbob", "secret"), std::nullopt);
  EXPECT_NE(engine.SetPortText("80\n"), std::nullopt);
  EXPECT_EQ(engine.SetCredentials("ann", "secret"), std::nullopt);
  engine.SetLoginRequired(true);
  engine.Close();
  const std::string stored = Read(data_ / "settings.kavra");
  EXPECT_NE(stored.find("\r\nann\r\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("login ON"), std::string::npos) << stored;
  EXPECT_NE(stored.find("\r\n80\r\n"), std::string::npos) << stored;
}

TEST_F(EngineOperationsTest, TableChangesReachTheSnapshotPagesAndStoredFiles) {
  Write(home_ / "v/Film.mp4", "x");
  Write(home_ / "v/Song.MP4", "x");
  Write(home_ / "v/Clip.m4v", "x");
  std::string library = "4\r\n3\r\nMOVIE\r\nMOVIE\r\nMOVIE\r\n";
  for (const char* name : {"Film.mp4", "Song.MP4", "Clip.m4v"}) {
    library += (home_ / "v" / name).string() + "\r\n";
  }
  library += "Film.mp4\r\nSong.MP4\r\nClip.m4v\r\n1:01:40\r\n1:01:40\r\n1:01:40\r\n";
  Write(data_ / "LIBRARY.kavra", library);
  int rebuilds = 0;
  EngineOptions options = Options();
  options.rebuildLibraryList = [&] { ++rebuilds; };
  Engine engine(std::move(options));
  ASSERT_TRUE(engine.Create());

  EXPECT_EQ(engine.PathsToPlay("Song.MP4"),
            (std::vector<std::string>{(home_ / "v/Song.MP4").string()}));
  EXPECT_EQ(engine.PathsToPlay("Clip.m4v"), std::vector<std::string>{});

  const std::string name = engine.CreatePlaylist({"Film.mp4", "Clip.m4v"});
  EXPECT_EQ(name, "Playlist 1");
  EXPECT_EQ(engine.PublishedLibrary()->playlistTable.Cell(PlaylistColumn::kName, 1), "Playlist 1");
  EXPECT_NE(engine.PublishedLibrary()->playlistTable.Cell(PlaylistColumn::kPage, 1).find("Film"),
            std::string::npos)
      << "the new playlist's page is generated";
  EXPECT_EQ(engine.PlaylistListing("Playlist 1").items,
            (std::vector<std::string>{"Film.mp4", "Clip.m4v"}));

  engine.RemoveFromLibrary({"Film.mp4"});
  EXPECT_GE(rebuilds, 1);
  EXPECT_EQ(engine.LibraryListing().items, (std::vector<std::string>{"Song.MP4", "Clip.m4v"}));
  EXPECT_EQ(engine.PublishedLibrary()->libraryTable.RowCount(), 2);
  EXPECT_EQ(Read(data_ / "LIBRARY.kavra").find("Film.mp4"), std::string::npos);
  EXPECT_EQ(engine.PlaylistListing("Playlist 1").items, (std::vector<std::string>{"Clip.m4v"}));

  EXPECT_EQ(engine.RenamePlaylist("Playlist 1", "Movies"), RenameOutcome::kReserved);
  EXPECT_EQ(engine.RenamePlaylist("Playlist 1", "Trip"), RenameOutcome::kRenamed);
  EXPECT_NE(engine.Pages().Get(page::kPlaylists)->find("Trip"), std::string::npos);
  EXPECT_EQ(engine.PublishedLibrary()->playlistTable.Cell(PlaylistColumn::kName, 1), "Trip");
  EXPECT_TRUE(engine.DeletePlaylist("Trip"));
  EXPECT_EQ(engine.PublishedLibrary()->playlistTable.RowCount(), 1);
}

// A window runs its own Start action for the "Start server when program starts" switch, so its
// controls follow; the engine then starts nothing by itself.
TEST_F(EngineOperationsTest, AutorunRunsTheWindowsStartActionInsteadOfStarting) {
  Write(data_ / "settings.kavra", SettingsText(FreePort(), "Autorun ON"));
  int startActions = 0;
  EngineOptions options = Options();
  options.startAction = [&] { ++startActions; };
  Engine engine(std::move(options));
  ASSERT_TRUE(engine.Create());
  EXPECT_EQ(startActions, 1);
  EXPECT_FALSE(engine.Listening());
  engine.SetAutorun(false);
  engine.SetAutorun(true);
  EXPECT_EQ(startActions, 2);
  EXPECT_FALSE(engine.Listening());
}

}  // namespace
}  // namespace vidoria
