// The login form at /login.html and the sessions a successful login opens.
#pragma once

#include "server/data_provider.h"
#include "web/web_context.h"

namespace vidoria {

// Claims exactly /login.html (any letter case). GET shows the login page; a posted form whose
// "user" and "pass" equal the credentials opens a session (cookie "session", 240 s idle lifetime)
// and answers with the home page, any other rebuilds the login page with the failure message.
// Bodies beyond kMaxAcceptedContent are refused. Handlers run on request threads; `context` must
// outlive the provider.
class LoginProvider : public DataProvider {
 public:
  explicit LoginProvider(const WebContext& context);

 private:
  void DataReceived(Connection& c) const;

  const WebContext& context_;
};

}  // namespace vidoria
