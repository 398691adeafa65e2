// The whole program under mixed load for a few seconds: phones browse behind the login, stream a
// film in ranges and log in rightly and wrongly, while the owner's thread regenerates pages and
// scans a folder that keeps growing. Every answer is checked. Built for the ThreadSanitizer run
// too, where it is the test that puts every shared structure under concurrent use at once.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/engine_fixture.h"
#include "site/login_page.h"
#include "site/markup.h"
#include "web/http_answer_for_tests.h"
#include "web/login_provider.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;
using testing::HttpAnswer;
using testing::TestClient;
namespace fs = std::filesystem;

constexpr auto kLoadTime = 3s;

// Each client speaks from its own loopback address: the login lockout counts per address.
constexpr const char* kBrowserAddress = "127.0.0.2";
constexpr const char* kStreamerAddress = "127.0.0.3";
constexpr const char* kGuesserAddress = "127.0.0.4";

// What went wrong on the client threads, kept for the main thread to report.
class Problems {
 public:
  void Add(std::string problem) {
    std::lock_guard lock(mu_);
    if (problems_.size() < 20) problems_.push_back(std::move(problem));
  }
  std::vector<std::string> All() {
    std::lock_guard lock(mu_);
    return problems_;
  }

 private:
  std::mutex mu_;  // guards problems_
  std::vector<std::string> problems_;
};

class MixedLoadTest : public testing::EngineTest {
 protected:
  MixedLoadTest() {
    film_.resize(300 * 1000);
    for (size_t i = 0; i < film_.size(); ++i) film_[i] = static_cast<char>(i * 31 % 251);
    Write(home_ / "v/Film.mp4", film_);
    Write(data_ / "LIBRARY.kavra",
          "4\r\n1\r\nMOVIE\r\n" + (home_ / "v/Film.mp4").string() + "\r\nFilm.mp4\r\n1:01:40\r\n");
  }

  // One request on a connection of its own, which the server closes: the thousands of these
  // leave their TIME_WAIT on the server's port, not on client ports of 127.0.0.x, where they
  // would make other programs' free-port probes on 127.0.0.1 pick ports they cannot listen on.
  HttpAnswer Ask(const char* from, const std::string& method, const std::string& path,
                 const std::string& headers, const std::string& body = "") {
    TestClient client(port_, from);
    client.Send(method + " " + path + " HTTP/1.1\r\nHost: phone\r\nConnection: close\r\n" +
                headers + "\r\n" + body);
    HttpAnswer answer = testing::ReadAnswer(client);
    client.WaitClosed();
    return answer;
  }
  HttpAnswer Get(const char* from, const std::string& path, const std::string& headers = "") {
    return Ask(from, "GET", path, headers);
  }
  HttpAnswer PostLogin(const char* from, const std::string& password) {
    const std::string body = "user=qorvu&pass=" + password + "&submit=submit";
    return Ask(from, "POST", "/login.html",
               "Content-Length: " + std::to_string(body.size()) + "\r\n", body);
  }

  // The session cookie a right login sets, as the browser sends it back; "" on any other answer.
  std::string LogIn(const char* from) {
    const HttpAnswer answer = PostLogin(from, "qorvu");
    std::smatch match;
    const std::string setCookie = answer.Header("SET-COOKIE");
    if (answer.StatusLine() != "HTTP/1.1 200 OK" || !IsWholePage(answer.body) ||
        !std::regex_match(setCookie, match,
                          std::regex("(session=[0-9a-f]{32}); HttpOnly; SameSite=Lax"))) {
      return "";
    }
    return match[1];
  }

  static bool IsWholePage(const std::string& body) {
    return body.starts_with(HeaderBlock()) && body.ends_with(FooterBlock());
  }

  // Runs `visit` over and over on a thread until Stop(); a visit returns "" when every answer in
  // it was right.
  void Client(const char* name, std::function<std::string()> visit) {
    clients_.emplace_back([this, name, visit = std::move(visit)] {
      int visits = 0;
      while (!stop_) {
        const std::string problem = visit();
        if (!problem.empty()) problems_.Add(std::string(name) + ": " + problem);
        ++visits;
      }
      if (visits == 0) problems_.Add(std::string(name) + ": no visit");
      std::printf("[ figure   ] %s: %d visits\n", name, visits);
    });
  }
  void StopClients() {
    stop_ = true;
    for (auto& thread : clients_) thread.join();
    clients_.clear();
  }

  std::string film_;
  std::string port_;
  Problems problems_;
  std::atomic<bool> stop_{false};
  std::vector<std::thread> clients_;
};

TEST_F(MixedLoadTest, EveryAnswerIsRightWhilePagesAreRegeneratedAndAFolderScanned) {
  Engine engine(Options());
  ASSERT_TRUE(engine.Create());
  engine.SetLoginRequired(true);
  ASSERT_EQ(engine.SetPortText("0"), std::nullopt);
  bool listening = false;
  ServerNotifications notifications;
  notifications.listening = [&] { listening = true; };
  engine.SetServerNotifications(std::move(notifications));
  engine.StartServer();
  for (int i = 0; i < 2000 && !listening; ++i) {
    std::this_thread::sleep_for(5ms);
    engine.Tick(Engine::Clock::now());
  }
  ASSERT_TRUE(listening);
  port_ = engine.ListeningPort();
  const fs::path videos = home_ / "Videos";
  Write(videos / "Scanned0.mp4", "x");
  ASSERT_EQ(engine.AddWatchedFolder(videos.string()), std::nullopt);
  auto now = Engine::Clock::now();
  engine.Shown(now);

  Client("browser", [&]() -> std::string {
    const std::string cookie = LogIn(kBrowserAddress);
    if (cookie.empty()) return "right login not accepted";
    for (const char* path :
         {"/", "/library.html", "/list&movies", "/list&library", "/playlists.html"}) {
      const HttpAnswer page = Get(kBrowserAddress, path, "Cookie: " + cookie + "\r\n");
      if (page.StatusLine() != "HTTP/1.1 200 OK" || !IsWholePage(page.body)) {
        return std::string(path) + " answered \"" + page.head + "\"";
      }
    }
    if (Get(kBrowserAddress, "/list.txt&movies").StatusLine() != "HTTP/1.1 200 OK") {
      return "no list file";
    }
    return "";
  });
  Client("streamer", [&]() -> std::string {
    const HttpAnswer start = Get(kStreamerAddress, "/Film.mp4", "Range: bytes=0-1\r\n");
    if (start.StatusLine() != "HTTP/1.1 206 Partial Content" || start.body != film_.substr(0, 2)) {
      return "bytes=0-1 answered \"" + start.head + "\"";
    }
    const HttpAnswer rest = Get(kStreamerAddress, "/Film.mp4", "Range: bytes=2-\r\n");
    if (!rest.complete || rest.body != film_.substr(2)) {
      return "bytes=2- answered \"" + rest.head + "\"";
    }
    return "";
  });
  // Guesses: the first four fail, from the fifth on the address is locked out.
  const std::string failedPage = LoginPage("Login failed, wrong username/password.");
  const std::string lockedPage = LoginPage(kLockedOutMessage);
  int guesses = 0;
  Client("guesser", [&]() -> std::string {
    const HttpAnswer answer = PostLogin(kGuesserAddress, "guess" + std::to_string(guesses));
    const std::string& expected =
        ++guesses < LoginLockout::kFailuresToLock ? failedPage : lockedPage;
    if (answer.body != expected) return "guess " + std::to_string(guesses) + " answered wrongly";
    const HttpAnswer form = Get(kGuesserAddress, "/login.html");
    if (form.body != failedPage && form.body != LoginPage("Please login")) {
      return "login page not whole";
    }
    return "";
  });

  // The owner's thread: the window's timers (scan passes every two seconds of its clock, which
  // runs fast here), new files for the scan to find, playlist edits and library regeneration.
  const auto end = Engine::Clock::now() + kLoadTime;
  int rounds = 0;
  for (int round = 1; Engine::Clock::now() < end; rounds = round++) {
    now += Engine::kScanTick;
    if (round < 50) Write(videos / ("Scanned" + std::to_string(round) + ".mp4"), "x");
    ASSERT_EQ(engine.QueueFile(videos.string()), std::nullopt);
    engine.Tick(now);
    engine.AddToPlaylist("Favorites", {"Film.mp4", "Scanned" + std::to_string(round / 2) + ".mp4"});
    if (round % 3 == 0) engine.RemoveFromLibrary({"Scanned" + std::to_string(round - 2) + ".mp4"});
    engine.GenerateLibrary();
    std::this_thread::sleep_for(10ms);  // pacing, so that the clients get the machine too
  }
  StopClients();
  std::printf("[ figure   ] owner: %d rounds of scan and regeneration\n", rounds);

  EXPECT_EQ(problems_.All(), std::vector<std::string>{});
  EXPECT_GE(guesses, LoginLockout::kFailuresToLock);
  EXPECT_NE(engine.LibraryTable().Cell(LibraryColumn::kName, 1), "") << "the scans added files";
  engine.Close();
  engine.Destroy();
  EXPECT_EQ(errors_, std::vector<std::string>{});
}

}  // namespace
}  // namespace vidoria
