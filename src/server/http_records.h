// The request and response records of a connection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/http_values.h"
#include "server/info.h"

namespace vidoria {

// Header values shared by requests and responses: an ordered list of (name, text), names matched
// case-insensitively and spelled as first added, plus the cookie list. Not thread-safe: records
// belong to one connection's job.
class HttpHeader {
 public:
  // `cookieHeaderName` must outlive the record (the records pass literals).
  explicit HttpHeader(std::string_view cookieHeaderName) : cookieName_(cookieHeaderName) {}
  virtual ~HttpHeader() = default;

  // "" when absent; the cookie header name gives Cookie().Text().
  std::string Value(std::string_view name) const;
  // Replaces the text of an existing entry (keeping its spelling) or appends one spelled as
  // given. For the cookie header name the text is added to Cookie(), joined with ";".
  void SetValue(std::string_view name, std::string_view text);

  // "CONTENT-LENGTH" trimmed and read as a number; 0 when absent or empty. Throws EConvertError
  // when the entry is not a number.
  int64_t ContentLength() const;
  void SetContentLength(int64_t length);
  bool HasContentLength() const;  // the entry exists and is not empty
  std::string ContentType() const { return Value("CONTENT-TYPE"); }
  void SetContentType(std::string_view type) { SetValue("CONTENT-TYPE", type); }

  // Every non-empty entry as "Name: text" CR LF, in order, then one line per cookie name:
  // cookie header name + ": " + name + "=" + last value + CR LF.
  std::string HeaderText() const;
  // Appends the same text to `out`.
  void AppendHeaderText(std::string& out) const;
  // Adds "name: value" lines through SetValue, name and value trimmed. LF or CR LF ends a line; a
  // bare LF (no CR) ends parsing; a line without ':' or without a name is skipped.
  virtual void SetHeaderText(std::string_view text);

  // Always split at ';' as cookie headers are, so a cookie value holding '&' cannot swallow the
  // cookies after it.
  HttpValues& Cookie();
  const HttpValues& Cookie() const;
  std::string_view CookieHeaderName() const { return cookieName_; }

  void ClearHeader();

 private:
  // The entry's text, or null; never the cookie list's.
  const std::string* Find(std::string_view name) const;

  std::string_view cookieName_;
  std::vector<std::pair<std::string, std::string>> entries_;
  mutable std::unique_ptr<HttpValues> cookie_;  // created on first use
};

// Optional rewriting of a request's file name and query, applied once the header is complete.
struct ServerRequestFixup {
  bool removePrefix = false;       // "http://host/x" -> "/x"
  bool decodeFileName = false;     // %-decode FileName; invalid escapes stay
  bool decodeQuery = false;        // %-decode every query name and value
  bool upperCaseFileName = false;  // applied last
};

class ServerRequest : public HttpHeader {
 public:
  ServerRequest() : HttpHeader("COOKIE") {}

  Info& GetInfo();  // created on first use
  HttpValues& Query();
  HttpValues& Params();
  const std::vector<std::string>& FilePath();  // the non-empty '/'-separated parts of FileName

  const std::string& Method() const { return method_; }
  void SetMethod(std::string_view method);  // stored upper-cased
  const std::string& FileName() const { return fileName_; }
  // When FileName equals the raw path both take the new text; otherwise only FileName does.
  void SetFileName(std::string_view name);
  const std::string& RawPath() const { return rawPath_; }
  void SetRawPath(std::string_view path) { rawPath_ = path; }
  // The raw path, then "?" and the query text when that is not empty.
  std::string URI();

  std::string Host() const { return Value("HOST"); }
  std::string Agent() const { return Value("USER-AGENT"); }
  std::string Referer() const { return Value("REFERER"); }
  std::string ForwardedFor() const { return Value("X-FORWARDED-FOR"); }

  // Rewrites FileName (never the raw path, so URI still shows what the client sent) and Query.
  void ApplyFixup(const ServerRequestFixup& fixup);
  // Empties everything but Active.
  void Clear();

  // The request's phase, kept by its connection; handlers read it and set only Close. In order:
  // request line (Started, Active) -> header and body arrive (Started falls after the first
  // received step; Complete once the body is in) -> a provider accepts (Accepted, at any point
  // after the header) -> the answer's last byte leaves (Started and Active fall) -> the
  // response-done step (Accepted falls) -> Clear for the next request.
  bool close = false;     // reader (HTTP/1.0, "Connection: close"), WriteHeader(""), handlers:
                          // the connection closes once the answer has left
  bool started = false;   // reader: the request line arrived, its first received step not run
  bool active = false;    // reader sets it with the request line; the writer and the
                          // response-done step clear it. Clear keeps it: false while a request
                          // is dispatched means its answer has already left
  bool complete = false;  // reader: the whole body has arrived; no further bytes are read until
                          // the answer has left
  bool accepted = false;  // connection (Accept): a provider owns the request until the
                          // response-done step
  int64_t contentIn = 0;  // reader: body bytes received so far

 private:
  std::unique_ptr<Info> info_;
  std::unique_ptr<HttpValues> query_;
  std::unique_ptr<HttpValues> params_;
  std::unique_ptr<std::vector<std::string>> filePath_;
  std::string method_;
  std::string fileName_;
  std::string rawPath_;
};

class ServerResponse : public HttpHeader {
 public:
  ServerResponse() : HttpHeader("SET-COOKIE") {}

  void Status(int code, std::string_view text) {
    statusCode = code;
    statusText = text;
  }
  // A first line starting with "HTTP/" or "HTTPS/" (any case) is a status line: code and text
  // are reset, then read from it; the other lines are header lines.
  void SetHeaderText(std::string_view text) override;
  // Empties header values and cookies and restores the defaults below.
  void Clear();

  // Handlers set these (and the header values) before the header is written.
  int statusCode = 200;
  std::string statusText = "OK";
  bool sendContent = true;  // false: a HEAD answer, the length announced and no body sent

  // The answer's phase, kept by the connection's ResponseWriter; handlers only read it.
  // Legal states: Sent implies Done; HeaderSent and Sending are equal; Done without HeaderSent
  // only after Sent. All fall with Clear when the next request begins.
  bool sending = false;     // the header was written; the last byte has not left yet
  bool headerSent = false;  // as Sending (an answer of unknown length keeps both to its end)
  bool done = false;        // the last body byte was written (it may still wait to leave); no
                            // further Write is allowed
  bool sent = false;        // the last byte left through the socket (answers of known length)
  int64_t contentOut = 0;   // body bytes written so far
};

}  // namespace vidoria
