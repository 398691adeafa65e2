#include <algorithm>
#include <regex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "web/web_fixture.h"

namespace vidoria {
namespace {

using testing::HttpAnswer;

class PageProvidersTest : public testing::WebFixture {
 protected:
  PageProvidersTest() {
    pages_.Set(page::kIndex, "HOME");
    pages_.Set(page::kLibraryMenu, "MENU");
    pages_.Set(page::kPlaylists, "LISTS");
    pages_.Set(page::kMovies, "MOVIES");
    pages_.Set(page::kLibrary, "ALL");
    pages_.Set(page::kMoviesList, "/movies*a.mp4\r\n");
    pages_.Set(page::kListList, "/list.txt&library\r\n");
    pages_.Set(page::kLogin, "LOGIN Please login");
    view_.playlistTable.SetRowCount(3);
    const char* rows[][3] = {{"Favorites", "FAV PAGE", "FAV LIST"},
                             {"My Playlist", "MINE", "MINE LIST"},
                             {"Favorites", "FAV AGAIN", "FAV LIST 2"}};
    for (int r = 0; r < 3; ++r) {
      view_.playlistTable.SetCell(PlaylistColumn::kName, r, rows[r][0]);
      view_.playlistTable.SetCell(PlaylistColumn::kPage, r, rows[r][1]);
      view_.listFileTable.SetRowCount(3);
      view_.listFileTable.SetCell(ListFileColumn::kListFile, r, rows[r][2]);
    }
    view_.playlistTable.SetCell(PlaylistColumn::kName, 1, "My Playlist");
    view_.playlistTable.SetCell(PlaylistColumn::kName, 2, "xy");
    view_.playlistTable.SetCell(PlaylistColumn::kPage, 2, "XY PAGE");
    library_.Publish(view_);
    WriteFile(programFolder_ + "library.htm", "A FILE");
  }
};

TEST_F(PageProvidersTest, PathsReachTheirProviders) {
  Start();
  struct Case {
    const char* request;
    const char* body;
  };
  const Case cases[] = {
      {"GET / HTTP/1.1", "HOME"},
      {"POST / HTTP/1.1", "HOME"},
      {"GET /Library.html HTTP/1.1", "MENU"},
      {"GET /library.html?x=1 HTTP/1.1", "MENU"},
      {"GET /LIBRARY.HTML HTTP/1.1", "MENU"},
      {"GET /library.htm HTTP/1.1", "A FILE"},
      {"GET /playlists.html HTTP/1.1", "LISTS"},
      {"GET /list&movies HTTP/1.1", "MOVIES"},
      {"GET /list&library HTTP/1.1", "ALL"},
      {"GET /list&My%20Playlist HTTP/1.1", "MINE"},
      {"GET /list&Favorites HTTP/1.1", "FAV PAGE"},
      {"GET /list&x/y HTTP/1.1", "XY PAGE"},
      {"GET /list.txt&movies HTTP/1.1", "/movies*a.mp4\r\n"},
      {"GET /list.txt&Favorites HTTP/1.1", "FAV LIST"},
      {"GET /KAVRA_LIST.TXT HTTP/1.1", "/list.txt&library\r\n"},
      {"GET /anything_KAVRA_LIST.TXT& HTTP/1.1", "/list.txt&library\r\n"},
      {"GET /login.html HTTP/1.1", "LOGIN Please login"},
      {"GET /LOGIN.HTML HTTP/1.1", "LOGIN Please login"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    const HttpAnswer answer = Request(std::string(c.request) + "\r\n\r\n");
    EXPECT_EQ(answer.StatusLine(), "HTTP/1.1 200 OK");
    EXPECT_EQ(answer.body, c.body);
  }
}

TEST_F(PageProvidersTest, UnknownListNameAnswersNotFoundAtOnce) {
  Start();
  for (const char* path : {"/list&Nobody", "/LIST&movies", "/list.txt&Nobody"}) {
    SCOPED_TRACE(path);
    const HttpAnswer answer = Get(path);
    EXPECT_EQ(answer.StatusLine(), "HTTP/1.1 404 File not found");
    EXPECT_EQ(answer.body, "Status 404: File not found");
  }
  EXPECT_NE(WaitForLogLine("FAIL 127.0.0.1 > test \"GET /list&Nobody\" 0 REF"), "");
}

TEST_F(PageProvidersTest, GatedPagesOpenOnlyToTheClientThatLoggedIn) {
  access_.loginRequired = true;
  access_.SetCredentials("kim", "s3cret");
  Start();
  const HttpAnswer redirected = Get("/");
  EXPECT_EQ(redirected.head, "HTTP/1.1 302 Redirect\r\nLocation: login.html\r\nCONTENT-LENGTH: 18");
  EXPECT_EQ(redirected.body, "LOGIN Please login");
  EXPECT_EQ(Get("/list&movies").StatusLine(), "HTTP/1.1 302 Redirect");
  EXPECT_EQ(Get("/list.txt&Favorites").body, "FAV LIST") << "list files are never gated";

  const HttpAnswer wrong =
      Request("POST /login.html HTTP/1.1\r\nContent-Length: 20\r\n\r\nuser=kim&pass=wrong!");
  EXPECT_EQ(wrong.StatusLine(), "HTTP/1.1 200 OK");
  EXPECT_EQ(wrong.body, "LOGIN Login failed, wrong username/password.");
  EXPECT_EQ(Get("/login.html").body, "LOGIN Login failed, wrong username/password.");
  EXPECT_FALSE(access_.loggedIn);

  // The body arrives in two packets and is answered once.
  testing::TestClient client(port_);
  client.Send("POST /login.html HTTP/1.1\r\nContent-Length: 20\r\n\r\nuser=kim&pa");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  client.Send("ss=s3cret");
  const HttpAnswer right = testing::ReadAnswer(client);
  EXPECT_EQ(right.StatusLine(), "HTTP/1.1 200 OK");
  EXPECT_EQ(right.Header("Location"), "index.html");
  EXPECT_EQ(right.body, "HOME");
  EXPECT_TRUE(access_.loggedIn);
  const std::string setCookie = right.Header("SET-COOKIE");
  ASSERT_TRUE(
      std::regex_match(setCookie, std::regex("session=[0-9a-f]{32}; HttpOnly; SameSite=Lax")))
      << setCookie;
  const std::string cookie = setCookie.substr(0, setCookie.find(';'));  // what browsers send back

  EXPECT_EQ(Get("/").StatusLine(), "HTTP/1.1 302 Redirect") << "another client without the cookie";
  EXPECT_EQ(Get("/", "Cookie: " + cookie + "\r\n").body, "HOME");
  EXPECT_EQ(Get("/", "Cookie: a=1; " + cookie + "; b=2\r\n").body, "HOME");
  EXPECT_EQ(Get("/", "Cookie: a=1\r\nCookie: " + cookie + "\r\n").body, "HOME");
  EXPECT_EQ(Get("/", "Cookie: session=0123456789abcdef0123456789abcdef\r\n").StatusLine(),
            "HTTP/1.1 302 Redirect");
  clockOffsetSeconds_ = 200;
  EXPECT_EQ(Get("/", "Cookie: " + cookie + "\r\n").body, "HOME") << "use keeps it alive";
  clockOffsetSeconds_ = 200 + 241;
  EXPECT_EQ(Get("/", "Cookie: " + cookie + "\r\n").StatusLine(), "HTTP/1.1 302 Redirect")
      << "idle past 240 s";
}

// Browsers send form fields encoded: '+' for a space, %XX for '&', '%', '+' and UTF-8 bytes.
TEST_F(PageProvidersTest, LoginFieldsAreReadAsTheBrowserEncodedThem) {
  access_.loginRequired = true;
  access_.SetCredentials("kim o'neil", "p&ss w%rd+\xC3\xA9");
  Start();
  const std::string body = "user=kim+o%27neil&pass=p%26ss+w%25rd%2B%C3%A9";
  const HttpAnswer right =
      Request("POST /login.html HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
              "\r\n\r\n" + body);
  EXPECT_EQ(right.Header("Location"), "index.html");
  EXPECT_TRUE(access_.loggedIn);
}

TEST_F(PageProvidersTest, TooManyWrongLoginsLockOutOnlyThatAddressForAMinute) {
  access_.loginRequired = true;
  access_.SetCredentials("kim", "s3cret");
  Start();
  // The server closes first, so that no client port lingers in TIME_WAIT on an address other
  // tests' free-port probes on 127.0.0.1 cannot see.
  auto post = [this](const std::string& from, const std::string& body) {
    testing::TestClient client(port_, from);
    client.Send("POST /login.html HTTP/1.1\r\nHost: test\r\nConnection: close\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body);
    const HttpAnswer answer = testing::ReadAnswer(client);
    client.WaitClosed();
    return answer;
  };
  const std::string failed = "LOGIN Login failed, wrong username/password.";
  for (int i = 1; i <= 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(post("127.0.0.2", "user=kim&pass=guess" + std::to_string(i)).body, failed);
  }
  const HttpAnswer fifth = post("127.0.0.2", "user=kim&pass=guess5");
  EXPECT_EQ(fifth.StatusLine(), "HTTP/1.1 200 OK");
  EXPECT_NE(fifth.body.find("Too many failed logins. Try again in a minute."), std::string::npos)
      << fifth.body;
  EXPECT_EQ(WaitForLogLine("DENY 127.0.0.2"),
            "DENY 127.0.0.2 > test \"POST /login.html\" 0 REF \"\" AGENT \"\" > Too many failed "
            "logins: locked out for 60 seconds.");

  const HttpAnswer locked = post("127.0.0.2", "user=kim&pass=s3cret");
  EXPECT_EQ(locked.body, fifth.body) << "the right password is not even checked";
  EXPECT_EQ(locked.Header("SET-COOKIE"), "");
  EXPECT_FALSE(access_.loggedIn);
  EXPECT_EQ(Get("/login.html").body, failed) << "the shared page does not carry the lockout";

  const HttpAnswer other = post("127.0.0.1", "user=kim&pass=s3cret");
  EXPECT_EQ(other.body, "HOME") << "another address logs in";

  clockOffsetSeconds_ = 59;
  EXPECT_EQ(post("127.0.0.2", "user=kim&pass=s3cret").body, fifth.body);
  clockOffsetSeconds_ = 60;
  const HttpAnswer after = post("127.0.0.2", "user=kim&pass=s3cret");
  EXPECT_EQ(after.body, "HOME");
  EXPECT_NE(after.Header("SET-COOKIE"), "");
  const auto lines = LogLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) { return line.starts_with("DENY "); }),
            1)
      << "one line for the lockout, none for the posts it refused";
}

TEST_F(PageProvidersTest, HugeLoginPostIsRefused) {
  Start();
  testing::TestClient client(port_);
  client.Send("POST /login.html HTTP/1.1\r\nContent-Length: 200000\r\n\r\nuser=");
  EXPECT_TRUE(client.WaitClosed());
  EXPECT_TRUE(client.Received().starts_with("HTTP/1.1 400 Bad Request")) << client.Received();
}

}  // namespace
}  // namespace vidoria
