// The site's pages, list pages, list files and the login form, all answered from page buffers.
#include <algorithm>

#include "server/connection.h"
#include "server/http_server.h"
#include "server/http_values.h"
#include "server/log.h"
#include "server/session_store.h"
#include "server/text.h"
#include "web/file_provider.h"
#include "web/request_log.h"

namespace vidoria {

namespace {

// Claims the request when the upper-cased file name passes `test`.
ConnectionHandler ClaimWhen(std::function<bool(const std::string&)> test) {
  return [test = std::move(test)](Connection& c) {
    if (test(UpperCase(c.Request.FileName()))) c.Accept();
  };
}

std::string RemoveAll(std::string text, std::string_view what) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
    text.erase(at, what.size());
  }
  return text;
}

// The list name behind a path such as "/list&My%20Playlist": the fixed prefix and every slash
// dropped, then percent-decoded as UTF-8.
std::string ListName(const std::string& fileName, std::string_view prefix) {
  std::string name = RemoveAll(fileName, prefix);
  name = RemoveAll(RemoveAll(std::move(name), "/"), "\\");
  return PercentDecode(name);
}

}  // namespace

void FileProvider::BindPageProviders() {
  auto page = [this](DataProvider& provider, std::string_view path, std::string_view buffer,
                     bool gated) {
    provider.OnCheckRequest = ClaimWhen([path](const std::string& name) { return name == path; });
    provider.OnDataReceived = [this, buffer, gated](Connection& c) {
      if (!c.Request.Complete) return;
      if (gated && !GatePasses(c)) {
        LoginRedirect(c);
      } else {
        WritePage(c, buffer);
      }
    };
  };
  page(rootProvider, "/", page::kIndex, true);
  page(libraryProvider1, "/LIBRARY.HTML", page::kLibraryMenu, true);
  page(playlistsProvider, "/PLAYLISTS.HTML", page::kPlaylists, true);

  listProvider.OnCheckRequest =
      ClaimWhen([](const std::string& name) { return name.find("LIST&") != std::string::npos; });
  listProvider.OnDataReceived = [this](Connection& c) {
    if (!c.Request.Complete) return;
    if (!GatePasses(c)) {
      LoginRedirect(c);
    } else {
      ListPage(c);
    }
  };
  listTXTprovider.OnCheckRequest = ClaimWhen(
      [](const std::string& name) { return name.find("LIST.TXT&") != std::string::npos; });
  listTXTprovider.OnDataReceived = [this](Connection& c) {
    if (c.Request.Complete) ListFile(c);
  };
  listlistprovider.OnCheckRequest = ClaimWhen(
      [](const std::string& name) { return name.find("KAVRA_LIST.TXT") != std::string::npos; });
  listlistprovider.OnDataReceived = [this](Connection& c) {
    if (c.Request.Complete) WritePage(c, page::kListList);
  };
  loginProvider1.OnCheckRequest =
      ClaimWhen([](const std::string& name) { return name == "/LOGIN.HTML"; });
  loginProvider1.OnDataReceived = [this](Connection& c) { loginProvider1DataReceived(c); };
}

bool FileProvider::GatePasses(Connection& c) const {
  if (!context_.access->loginRequired.load()) return true;
  // Per client: only a browser holding the cookie of a live session that a successful login
  // opened gets in; using it keeps the session alive. Another client's login opens nothing.
  return c.Server().Sessions->Refresh(
      c.Request.Cookie().Value("session"),
      [](const ServerSession& s) { return s.BooleanField("login"); });
}

void FileProvider::LoginRedirect(Connection& c) {
  c.Response.SetValue("Location", "login.html");
  c.Response.Status(302, "Redirect");
  c.Write(*context_.pages->Get(page::kLogin));
}

void FileProvider::WritePage(Connection& c, std::string_view buffer) {
  c.Write(*context_.pages->Get(buffer));
}

void FileProvider::NotFound(Connection& c, const std::string& what) {
  // Rather than leaving the client waiting for an answer that never comes.
  Log("FAIL " + RequestPart(c) + " 0 " + ClientPart(c) + " > File not found: \"" + what + "\".");
  c.Response.Status(404, "File not found");
  c.Write("Status 404: File not found");
}

void FileProvider::ListPage(Connection& c) {
  static const FixedList pages[] = {{"library", page::kLibrary},
                                    {"music", page::kMusic},
                                    {"movies", page::kMovies},
                                    {"tvshows", page::kTvShows}};
  AnswerList(c, "/list&", pages, [](const LibraryView& view, int row) -> const std::string& {
    return view.playlistTable.Cell(PlaylistColumn::kPage, row);
  });
}

void FileProvider::ListFile(Connection& c) {
  static const FixedList files[] = {{"library", page::kLibraryList},
                                    {"music", page::kMusicList},
                                    {"movies", page::kMoviesList},
                                    {"tvshows", page::kTvShowsList}};
  AnswerList(c, "/list.txt&", files, [](const LibraryView& view, int row) -> const std::string& {
    return view.listFileTable.Cell(ListFileColumn::kListFile, row);
  });
}

void FileProvider::AnswerList(Connection& c, std::string_view prefix,
                              std::span<const FixedList> fixed, const PlaylistText& text) {
  const std::string name = ListName(c.Request.FileName(), prefix);
  for (auto [list, buffer] : fixed) {
    if (name == list) return WritePage(c, buffer);
  }
  // Every playlist of that name, in table order.
  const auto view = context_.library->Current();
  bool found = false;
  for (int row = 0; row < view->playlistTable.RowCount(); ++row) {
    if (view->playlistTable.Cell(PlaylistColumn::kName, row) != name) continue;
    c.Write(text(*view, row));
    found = true;
  }
  if (!found) NotFound(c, name);
}

void FileProvider::loginProvider1DataReceived(Connection& c) {
  if (c.Request.Method() == "GET") {
    WritePage(c, page::kLogin);
    return;
  }
  // A login form is a few dozen bytes; anything near the core's limits is not one.
  if (c.Request.ContentLength() > MaxAcceptedContent || c.Request.ContentIn > MaxAcceptedContent) {
    RefuseLargeBody(c, std::max(c.Request.ContentLength(), c.Request.ContentIn));
    return;
  }
  c.Request.Params().AddText(c.Read());
  if (!c.Request.Complete) return;
  const auto [username, password] = context_.access->Credentials();
  if (c.Request.Params().Value("user") != username ||
      c.Request.Params().Value("pass") != password) {
    if (context_.generateLogin) context_.generateLogin("Login failed, wrong username/password.");
    WritePage(c, page::kLogin);
    return;
  }
  context_.access->loggedIn = true;
  ServerSession* session = c.OpenSession(2);
  session->SetTextField("name", c.Request.Params().Value("user"));
  session->SetBooleanField("login", true);
  session->KeepAlive = 240;
  c.Response.Cookie().SetValue("session", session->ID);
  c.Response.SetValue("Location", "index.html");
  WritePage(c, page::kIndex);
}

}  // namespace vidoria
