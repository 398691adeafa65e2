#include "web/login_provider.h"

#include <algorithm>

#include "server/connection.h"
#include "server/session_store.h"
#include "web/provider_answers.h"

namespace vidoria {

LoginProvider::LoginProvider(const WebContext& context) : context_(context) {
  onCheckRequest = ClaimWhen([](const std::string& name) { return name == "/LOGIN.HTML"; });
  onDataReceived = [this](Connection& c) { DataReceived(c); };
}

void LoginProvider::DataReceived(Connection& c) const {
  if (c.request.Method() == "GET") {
    WritePage(context_, c, page::kLogin);
    return;
  }
  // A login form is a few dozen bytes; anything near the core's limits is not one.
  if (c.request.ContentLength() > kMaxAcceptedContent ||
      c.request.contentIn > kMaxAcceptedContent) {
    RefuseLargeBody(c, std::max(c.request.ContentLength(), c.request.contentIn));
    return;
  }
  c.request.Params().AddText(c.Read());
  if (!c.request.complete) return;
  const auto [username, password] = context_.access->Credentials();
  if (c.request.Params().Value("user") != username ||
      c.request.Params().Value("pass") != password) {
    if (context_.generateLogin) context_.generateLogin("Login failed, wrong username/password.");
    WritePage(context_, c, page::kLogin);
    return;
  }
  context_.access->loggedIn = true;
  ServerSession* session = c.OpenSession(2);
  session->SetTextField("name", c.request.Params().Value("user"));
  session->SetBooleanField("login", true);
  session->keepAlive = 240;
  c.response.Cookie().SetValue("session", session->id);
  c.response.SetValue("Location", "index.html");
  WritePage(context_, c, page::kIndex);
}

}  // namespace vidoria
