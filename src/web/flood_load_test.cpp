// Floods on loopback: a thousand clients trickling requests a byte a second, and a crowd that
// fills the connection limit, while a phone browses and streams. Labelled "load"; a run takes some
// ten seconds of wall time.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "server/core_runtime.h"
#include "web/crowd_for_tests.h"
#include "web/web_fixture.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::Crowd;
using testing::HttpAnswer;

constexpr int kCrowdSize = 1000;
constexpr int kIdleSeconds = 2;  // lowered from the program's 60 for the test
// Beyond the idle timer's own window of one to two intervals: the byte that finds a request
// overdue comes up to a second late, and a loaded machine is slow to close a thousand sockets.
constexpr auto kCloseSlack = 5s;
// Memory is being trimmed elsewhere; this only catches a leak of every connection. AddressSanitizer
// holds freed memory back in its quarantine (256 MiB), so there the figure is only reported.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kResidentGrowthBoundKiB = std::numeric_limits<long>::max();
#else
constexpr long kResidentGrowthBoundKiB = 128 * 1024;
#endif

// This process's resident set, in KiB (VmRSS); -1 when unreadable.
long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
  }
  return -1;
}

class FloodLoadTest : public testing::WebFixture {
 protected:
  FloodLoadTest() {
    openFiles_ = RaiseOpenFileLimit();
    pages_.Set(page::kIndex, "HOME");
    pages_.Set(page::kLibraryMenu, "MENU");
    pages_.Set(page::kMovies, "MOVIES");
    pages_.Set(page::kLogin, "LOGIN Please login");
    film_.resize(512 * 1024);
    for (size_t i = 0; i < film_.size(); ++i) film_[i] = static_cast<char>('a' + (i * 7) % 26);
    AddToLibrary((base_ / "videos" / "Film.mp4").string(), film_);
  }

  void SetUp() override {
    // Both ends of every connection are file descriptors of this process.
    if (openFiles_ < 2 * kCrowdSize + 200) {
      GTEST_SKIP() << "open-file limit " << openFiles_ << " is too low for the crowd";
    }
  }

  // One request on a connection of its own, which the server closes: thousands of these leave
  // their TIME_WAIT on the server's port rather than on as many ports of the ephemeral range,
  // where they would make other programs' free-port probes fail.
  HttpAnswer Fetch(const std::string& path, const std::string& headers = "") {
    testing::TestClient client(port_);
    client.Send("GET " + path + " HTTP/1.1\r\nHost: phone\r\nConnection: close\r\n" + headers +
                "\r\n");
    HttpAnswer answer = testing::ReadAnswer(client);
    client.WaitClosed();
    return answer;
  }

  // A phone's visit: three pages, then the film as players fetch it, two bytes and then the rest.
  // "" when every answer was right, else what was wrong.
  std::string BrowseOnce() {
    const std::pair<const char*, const char*> pages[] = {
        {"/", "HOME"}, {"/library.html", "MENU"}, {"/list&movies", "MOVIES"}};
    for (const auto& [path, body] : pages) {
      const HttpAnswer answer = Fetch(path);
      if (answer.StatusLine() != "HTTP/1.1 200 OK" || answer.body != body) {
        return std::string(path) + " answered \"" + answer.head + "\"";
      }
    }
    const HttpAnswer start = Fetch("/Film.mp4", "Range: bytes=0-1\r\n");
    if (start.StatusLine() != "HTTP/1.1 206 Partial Content" || start.body != film_.substr(0, 2)) {
      return "bytes=0-1 answered \"" + start.head + "\"";
    }
    const HttpAnswer rest = Fetch("/Film.mp4", "Range: bytes=2-\r\n");
    if (rest.StatusLine() != "HTTP/1.1 206 Partial Content" || !rest.complete ||
        rest.body != film_.substr(2)) {
      return "bytes=2- answered \"" + rest.head + "\" and " + std::to_string(rest.body.size()) +
             " bytes";
    }
    return "";
  }

  // Waits (as a hang guard only) until the server module counts no open connection.
  bool WaitForNoConnections() {
    const auto deadline = Clock::now() + 30s;
    while (server_->ConnectionCount() > 0) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }

  static void Report(const std::string& figure) {
    std::printf("[ figure   ] %s\n", figure.c_str());
    std::fflush(stdout);
  }

  long openFiles_ = 0;
  std::string film_;
};

// Browses over and over on a thread of its own until stopped.
class Phone {
 public:
  explicit Phone(std::function<std::string()> browse)
      : thread_([this, browse = std::move(browse)] {
          while (!stop_) {
            const bool whileFlooded = flooded_;
            const std::string error = browse();
            if (!error.empty()) {
              std::lock_guard lock(mu_);
              errors_.push_back(error);
            } else if (whileFlooded && flooded_) {
              ++visitsWhileFlooded_;
            }
          }
        }) {}
  ~Phone() { Stop(); }
  void SetFlooded(bool on) { flooded_ = on; }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  int VisitsWhileFlooded() const { return visitsWhileFlooded_; }
  std::vector<std::string> Errors() {
    std::lock_guard lock(mu_);
    return errors_;
  }

 private:
  std::atomic<bool> stop_{false}, flooded_{false};
  std::atomic<int> visitsWhileFlooded_{0};
  std::mutex mu_;  // guards errors_
  std::vector<std::string> errors_;
  std::thread thread_;  // last: it uses the members above
};

TEST_F(FloodLoadTest, TricklingCrowdIsClosedWithinTheIdleIntervalWhileAPhoneIsServed) {
  server_->ServerForTesting().timeout.afterConnecting = kIdleSeconds;
  Start();
  ASSERT_EQ(BrowseOnce(), "");
  const long base = ResidentKiB();
  Report("resident before the waves: " + std::to_string(base / 1024) + " MiB");
  // A request that never ends: each client sends its next byte once a second.
  const std::string trickle = "GET / HTTP/1.1\r\nHost: flood\r\nX-Slow: " + std::string(200, 'x');

  for (int wave = 1; wave <= 2; ++wave) {
    SCOPED_TRACE("wave " + std::to_string(wave));
    Phone phone([this] { return BrowseOnce(); });
    Crowd crowd(port_, kCrowdSize);
    ASSERT_EQ(crowd.Connected(), kCrowdSize);
    crowd.SendToAll(trickle.substr(0, 1));
    const auto allOpen = Clock::now();
    phone.SetFlooded(true);
    for (size_t next = 1; crowd.Open() > 0 && Clock::now() < allOpen + 60s; ++next) {
      crowd.Watch(1s);
      if (crowd.Open() < kCrowdSize) phone.SetFlooded(false);
      crowd.SendToAll(trickle.substr(next % trickle.size(), 1));
    }
    phone.Stop();

    const auto allClosed = crowd.AllClosedAt();
    ASSERT_TRUE(allClosed) << crowd.Open() << " still open after a minute";
    EXPECT_EQ(crowd.Answered(), 0) << "closed without an answer";
    const auto closing =
        std::chrono::duration_cast<std::chrono::milliseconds>(*allClosed - allOpen);
    EXPECT_LT(closing, kIdleSeconds * 2s + kCloseSlack);
    EXPECT_EQ(phone.Errors(), std::vector<std::string>{});
    EXPECT_GT(phone.VisitsWhileFlooded(), 0);
    ASSERT_TRUE(WaitForNoConnections());
    const long after = ResidentKiB();
    Report("wave " + std::to_string(wave) + ": " + std::to_string(kCrowdSize) +
           " trickling clients closed " + std::to_string(closing.count()) +
           " ms after the last connected (idle interval " + std::to_string(kIdleSeconds) +
           " s); phone visits during the flood: " + std::to_string(phone.VisitsWhileFlooded()) +
           "; resident after: " + std::to_string(after / 1024) + " MiB (" +
           std::to_string((after - base) / 1024) + " MiB over the base)");
    EXPECT_LT(after - base, kResidentGrowthBoundKiB);
  }
}

TEST_F(FloodLoadTest, ConnectionOverTheLimitIsClosedAtOnceAndTheOthersKeepWorking) {
  server_->ServerForTesting().serverConnectionLimit = kCrowdSize;
  Start();
  ASSERT_EQ(BrowseOnce(), "");
  const long base = ResidentKiB();
  {
    Crowd crowd(port_, kCrowdSize);
    ASSERT_EQ(crowd.Connected(), kCrowdSize);
    const auto deadline = Clock::now() + 30s;
    while (server_->ServerForTesting().OpenConnections() < kCrowdSize && Clock::now() < deadline) {
      std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(server_->ServerForTesting().OpenConnections(), kCrowdSize);

    testing::TestClient over(port_);
    // The idle interval is the program's 60 s: only the limit closes it this soon.
    EXPECT_TRUE(over.WaitClosed(10s));
    EXPECT_EQ(over.Received(), "");

    // Each asks once and is answered; the server then closes, as asked.
    crowd.SendToAll("GET /login.html HTTP/1.1\r\nHost: flood\r\nConnection: close\r\n\r\n");
    while (crowd.Open() > 0 && Clock::now() < deadline + 30s) crowd.Watch(100ms);
    EXPECT_EQ(crowd.Open(), 0);
    int right = 0;
    for (int i = 0; i < kCrowdSize; ++i) {
      right += crowd.Received(i).starts_with("HTTP/1.1 200 OK\r\n") &&
               crowd.Received(i).ends_with("\r\n\r\nLOGIN Please login");
    }
    EXPECT_EQ(right, kCrowdSize);
  }
  ASSERT_TRUE(WaitForNoConnections());
  EXPECT_EQ(BrowseOnce(), "") << "the crowd's places are free again";
  const long after = ResidentKiB();
  Report("connection limit " + std::to_string(kCrowdSize) + ": resident before " +
         std::to_string(base / 1024) + " MiB, after " + std::to_string(after / 1024) + " MiB");
  EXPECT_LT(after - base, kResidentGrowthBoundKiB);
}

}  // namespace
}  // namespace vidoria
