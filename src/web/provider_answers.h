// Answers and checks that several providers share. Every function runs on the request thread of
// the connection it is given and keeps no state of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "server/data_provider.h"
#include "web/web_context.h"

namespace vidoria {

// The largest request body any of the site's answers accepts.
inline constexpr int64_t kMaxAcceptedContent = 128000;

// A check handler claiming the request when its upper-cased file name passes `test`.
ConnectionHandler ClaimWhen(std::function<bool(const std::string& upperName)> test);

// True when the request may see a gated page: login is off, or the request carries the cookie of
// a live session a successful login opened (which this refreshes).
bool GatePasses(const WebContext& context, Connection& c);
// 302 to login.html with the login page as body.
void LoginRedirect(const WebContext& context, Connection& c);
// The page buffer's current text as the answer.
void WritePage(const WebContext& context, Connection& c, std::string_view buffer);
// A status line and the body "Status <status>: <text>".
void AnswerStatus(Connection& c, int status, const char* text);
// 404 with a "FAIL" log line naming `what`, rather than leaving the client waiting.
void NotFound(Connection& c, const std::string& what);
// 400 and close for a request whose body is larger than any the site accepts.
void RefuseLargeBody(Connection& c, int64_t size);

// Makes `provider` answer the exact upper-case path `path` with a page buffer, behind the login
// gate: the root, library and playlists pages.
void ServeGatedPage(DataProvider& provider, const WebContext& context, std::string_view path,
                    std::string_view buffer);

}  // namespace vidoria
