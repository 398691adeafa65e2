#include "web/login_provider.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "server/connection.h"
#include "server/http_values.h"
#include "server/log.h"
#include "server/session_store.h"
#include "site/login_page.h"
#include "web/provider_answers.h"
#include "web/request_log.h"

namespace vidoria {

namespace {

// A field of a form as a browser posts it (application/x-www-form-urlencoded): '+' for a space,
// %XX for every other byte that is not plain. Compared raw, a password with a space, '&' or a
// letter beyond ASCII could never be typed into the login page.
std::string FormField(std::string_view raw) {
  std::string spaced(raw);
  std::replace(spaced.begin(), spaced.end(), '+', ' ');
  return PercentDecode(spaced);
}

void AnswerLockedOut(Connection& c) {
  static const std::string kPage = LoginPage(kLockedOutMessage);
  c.Write(kPage);
}

}  // namespace

LoginProvider::LoginProvider(const WebContext& context) : context_(context), lockout_(context.now) {
  onCheckRequest = ClaimWhen([](const std::string& name) { return name == "/LOGIN.HTML"; });
  onDataReceived = [this](Connection& c) { DataReceived(c); };
}

void LoginProvider::DataReceived(Connection& c) {
  if (c.Request().Method() == "GET") {
    WritePage(context_, c, page::kLogin);
    return;
  }
  // A login form is a few dozen bytes; anything near the core's limits is not one.
  if (c.Request().ContentLength() > kMaxAcceptedContent ||
      c.Request().contentIn > kMaxAcceptedContent) {
    RefuseLargeBody(c, std::max(c.Request().ContentLength(), c.Request().contentIn));
    return;
  }
  c.Request().Params().AddText(c.Read());
  if (!c.Request().complete) return;
  const std::string& address = c.PeerAddr();
  if (lockout_.Locked(address)) {
    AnswerLockedOut(c);
    return;
  }
  const auto [username, password] = context_.access->Credentials();
  const std::string user = FormField(c.Request().Params().Value("user"));
  if (user != username || FormField(c.Request().Params().Value("pass")) != password) {
    if (context_.generateLogin) context_.generateLogin("Login failed, wrong username/password.");
    if (lockout_.Failed(address)) {
      LogRequestLine("DENY " + RequestPart(c) + " 0 " + ClientPart(c) +
                     " > Too many failed logins: locked out for " +
                     std::to_string(LoginLockout::kLockTime.count()) + " seconds.");
      AnswerLockedOut(c);
      return;
    }
    WritePage(context_, c, page::kLogin);
    return;
  }
  lockout_.Succeeded(address);
  context_.access->loggedIn = true;
  ServerSession* session = c.OpenSession(2);
  session->SetTextField("name", user);
  session->SetBooleanField("login", true);
  session->keepAlive = 240;
  // The response writes one cookie line per name as name=value, so the attributes ride along in
  // the value. Scripts have no business with the session, and other sites' pages may not send it.
  c.Response().Cookie().SetValue("session", session->id + "; HttpOnly; SameSite=Lax");
  c.Response().SetValue("Location", "index.html");
  WritePage(context_, c, page::kIndex);
}

}  // namespace vidoria
