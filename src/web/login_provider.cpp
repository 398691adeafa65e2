#include "web/login_provider.h"

#include <algorithm>

#include "server/connection.h"
#include "server/session_store.h"
#include "web/provider_answers.h"

namespace vidoria {

LoginProvider::LoginProvider(const WebContext& context) : context_(context) {
  OnCheckRequest = ClaimWhen([](const std::string& name) { return name == "/LOGIN.HTML"; });
  OnDataReceived = [this](Connection& c) { DataReceived(c); };
}

void LoginProvider::DataReceived(Connection& c) const {
  if (c.Request.Method() == "GET") {
    WritePage(context_, c, page::kLogin);
    return;
  }
  // A login form is a few dozen bytes; anything near the core's limits is not one.
  if (c.Request.ContentLength() > kMaxAcceptedContent ||
      c.Request.ContentIn > kMaxAcceptedContent) {
    RefuseLargeBody(c, std::max(c.Request.ContentLength(), c.Request.ContentIn));
    return;
  }
  c.Request.Params().AddText(c.Read());
  if (!c.Request.Complete) return;
  const auto [username, password] = context_.access->Credentials();
  if (c.Request.Params().Value("user") != username ||
      c.Request.Params().Value("pass") != password) {
    if (context_.generateLogin) context_.generateLogin("Login failed, wrong username/password.");
    WritePage(context_, c, page::kLogin);
    return;
  }
  context_.access->loggedIn = true;
  ServerSession* session = c.OpenSession(2);
  session->SetTextField("name", c.Request.Params().Value("user"));
  session->SetBooleanField("login", true);
  session->KeepAlive = 240;
  c.Response.Cookie().SetValue("session", session->ID);
  c.Response.SetValue("Location", "index.html");
  WritePage(context_, c, page::kIndex);
}

}  // namespace vidoria
