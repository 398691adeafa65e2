// The login form at /login.html and the sessions a successful login opens.
#pragma once

#include <string_view>

#include "server/data_provider.h"
#include "web/login_lockout.h"
#include "web/web_context.h"

namespace vidoria {

// What a locked-out client reads on the login page it gets instead of a check.
inline constexpr std::string_view kLockedOutMessage =
    "Too many failed logins. Try again in a minute.";

// Claims exactly /login.html (any letter case). GET shows the login page; a posted form whose
// "user" and "pass" equal the credentials opens a session (cookie "session", HttpOnly and
// SameSite=Lax, 240 s idle lifetime) and answers with the home page, any other rebuilds the login
// page with the failure message. Bodies beyond kMaxAcceptedContent are refused.
//
// Wrong logins are counted per client address (LoginLockout). The failure that locks an address
// out, and every post from it while the lockout lasts, is answered with a login page carrying
// kLockedOutMessage, composed for that answer alone: the shared login page others get is left as
// it is. While locked out the credentials are not checked, so a correct login is not accepted.
// The start of a lockout leaves a "DENY " line in the web log.
//
// Handlers run on request threads; `context` must outlive the provider.
class LoginProvider : public DataProvider {
 public:
  explicit LoginProvider(const WebContext& context);

 private:
  void DataReceived(Connection& c);

  const WebContext& context_;
  LoginLockout lockout_;  // thread-safe itself
};

}  // namespace vidoria
