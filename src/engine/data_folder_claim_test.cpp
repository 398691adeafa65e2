// One program per data folder, with the real vidoriad in temporary homes: a second start is
// refused before it touches anything, the first goes on serving, and a killed holder leaves no
// lock behind.
#include "engine/data_folder_claim.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "engine/engine_fixture.h"
#include "server/test_client.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class DataFolderClaimTest : public testing::VidoriadTest {
 protected:
  ~DataFolderClaimTest() override {
    for (const pid_t pid : running_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  // Starts vidoriad and waits until it serves, has stored its first generation of the library
  // (a second after it starts) and has logged the end of every connection, so that it writes
  // nothing more by itself.
  pid_t StartServing() {
    const pid_t pid = Spawn();
    running_.push_back(pid);
    for (int i = 0; i < 3000 && !(ServesHomePage(port_) && fs::exists(data_ / "LIBRARY.kavra"));
         ++i) {
      std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(ServesHomePage(port_));
    EXPECT_TRUE(fs::exists(data_ / "LIBRARY.kavra"));
    for (int i = 0; i < 3000 && !LogQuiet(); ++i) std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(LogQuiet());
    return pid;
  }
  int End(pid_t pid, int signal) {
    ::kill(pid, signal);
    std::erase(running_, pid);
    return WaitExit(pid);
  }

  // Runs vidoriad to its end (one that keeps running is killed: -1): its exit code and what it
  // wrote to standard error.
  std::pair<int, std::string> RunToItsEnd() {
    int errors[2];
    EXPECT_EQ(::pipe(errors), 0);
    const pid_t pid = Spawn(errors[1]);
    ::close(errors[1]);
    const int exitCode = WaitExit(pid);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(errors[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    ::close(errors[0]);
    return {exitCode, text};
  }

  EnvLookup Env() const {
    return [home = home_.string()](const char* name) {
      return std::string(name) == "HOME" ? home : std::string();
    };
  }

  const int port_ = FreePort();
  std::vector<pid_t> running_;
};

TEST_F(DataFolderClaimTest, ASecondStartIsRefusedAndTheFirstGoesOnUntouched) {
  Write(data_ / "settings.kavra", SettingsText(port_));
  const pid_t first = StartServing();

  // What a start would change at once, were it to run: an unfinished copy of a killed run is
  // cleared, a damaged table set aside, the folders made, the web log written.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  Write(data_ / ("PLAYLISTS.kavra.tmp-" + std::to_string(gone) + "-1"), "half");
  Write(data_ / "USERS.kavra", "damaged\r\n");
  fs::remove_all(data_ / "temp");
  const auto before = DataFolderState();

  EXPECT_EQ(ClaimDataFolder(Env()).outcome, DataFolderClaim::Outcome::kHeldByAnother);
  EXPECT_EQ(RunToItsEnd(),
            std::make_pair(1, std::string("Vidoria is already running for this data folder.\n")));
  EXPECT_EQ(DataFolderState(), before);
  EXPECT_TRUE(ServesHomePage(port_));

  Write(data_ / "USERS.kavra", "2\r\n1\r\n\r\n\r\n");
  EXPECT_EQ(End(first, SIGTERM), 0);
  EXPECT_FALSE(ProgramRunsOnDataFolder(Env()));
  // The lock went with the first program: the next start runs.
  EXPECT_EQ(ClaimDataFolder(Env()).outcome, DataFolderClaim::Outcome::kClaimed);
}

TEST_F(DataFolderClaimTest, AKilledProgramLeavesNoLockBehind) {
  Write(data_ / "settings.kavra", SettingsText(port_));
  EXPECT_FALSE(ProgramRunsOnDataFolder(Env()));
  const pid_t killed = StartServing();
  EXPECT_TRUE(ProgramRunsOnDataFolder(Env()));
  EXPECT_EQ(End(killed, SIGKILL), 128 + SIGKILL);
  EXPECT_TRUE(fs::exists(data_ / "vidoria.lock"));
  EXPECT_FALSE(ProgramRunsOnDataFolder(Env()));

  const pid_t next = StartServing();
  EXPECT_TRUE(ProgramRunsOnDataFolder(Env()));
  EXPECT_EQ(End(next, SIGTERM), 0);
}

// The claim names the folder the engine must work in; without one, the start goes on to the
// missing-companion message as before.
TEST_F(DataFolderClaimTest, TheClaimNamesTheFolderItHolds) {
  DataFolderClaim claim = ClaimDataFolder(Env());
  EXPECT_EQ(claim.outcome, DataFolderClaim::Outcome::kClaimed);
  EXPECT_EQ(claim.dataFolder, data_.string() + "/");
  EXPECT_TRUE(claim.lock.Held());
  EXPECT_TRUE(ProgramRunsOnDataFolder(Env()));
  claim.lock.Release();

  fs::remove_all(data_);
  claim = ClaimDataFolder(Env());
  EXPECT_EQ(claim.outcome, DataFolderClaim::Outcome::kMissing);
  EXPECT_FALSE(claim.lock.Held());
  EXPECT_FALSE(ProgramRunsOnDataFolder(Env()));
  EXPECT_FALSE(fs::exists(home_ / ".local/share/Kelvane 4")) << "a claim made a data folder";
}

}  // namespace
}  // namespace vidoria
