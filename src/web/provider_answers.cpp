#include "web/provider_answers.h"

#include "server/connection.h"
#include "server/http_server.h"
#include "server/log.h"
#include "server/session_store.h"
#include "server/text.h"
#include "web/request_log.h"

namespace vidoria {

ConnectionHandler ClaimWhen(std::function<bool(const std::string& upperName)> test) {
  return [test = std::move(test)](Connection& c) {
    if (test(UpperCase(c.Request().FileName()))) c.Accept();
  };
}

bool GatePasses(const WebContext& context, Connection& c) {
  if (!context.access->loginRequired.load()) return true;
  // Per client: only a browser holding the cookie of a live session that a successful login
  // opened gets in; using it keeps the session alive. Another client's login opens nothing.
  return c.Server().sessions->Refresh(
      c.Request().Cookie().Value("session"),
      [](const ServerSession& s) { return s.BooleanField("login"); });
}

void LoginRedirect(const WebContext& context, Connection& c) {
  c.Response().SetValue("Location", "login.html");
  c.Response().Status(302, "Redirect");
  c.Write(*context.pages->Get(page::kLogin));
}

void WritePage(const WebContext& context, Connection& c, std::string_view buffer) {
  c.Write(*context.pages->Get(buffer));
}

void AnswerStatus(Connection& c, int status, const char* text) {
  c.Response().Status(status, text);
  c.Write("Status " + std::to_string(status) + ": " + text);
}

void NotFound(Connection& c, const std::string& what) {
  LogRequestLine("FAIL " + RequestPart(c) + " 0 " + ClientPart(c) + " > File not found: \"" + what +
                 "\".");
  AnswerStatus(c, 404, "File not found");
}

void RefuseLargeBody(Connection& c, int64_t size) {
  LogRequestLine("BAD! " + RequestPart(c) + " 0 " + ClientPart(c) +
                 " > Content size exceeds 128K limit (size=" + std::to_string(size) + " bytes).");
  AnswerStatus(c, 400, "Bad Request");
  c.Disconnect();
}

void ServeGatedPage(DataProvider& provider, const WebContext& context, std::string_view path,
                    std::string_view buffer) {
  provider.onCheckRequest = ClaimWhen([path](const std::string& name) { return name == path; });
  provider.onDataReceived = [&context, buffer](Connection& c) {
    if (!c.Request().complete) return;
    if (GatePasses(context, c)) {
      WritePage(context, c, buffer);
    } else {
      LoginRedirect(context, c);
    }
  };
}

}  // namespace vidoria
