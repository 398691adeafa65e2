#include "server/http_records.h"
#include "server/text.h"

#include <charconv>
#include <string>

namespace vidoria {
namespace {

// Cuts the first line off `text`; `ended` tells whether an LF ended it or the text ran out.
std::string_view TakeLine(std::string_view& text, bool& ended) {
  size_t end = text.find('\n');
  ended = end != std::string_view::npos;
  std::string_view line = text.substr(0, end);
  text = ended ? text.substr(end + 1) : std::string_view();
  return line;
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  while (!path.empty()) {
    size_t end = path.find('/');
    if (end != 0) parts.emplace_back(path.substr(0, end));
    path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
  }
  return parts;
}

constexpr std::string_view kContentLength = "CONTENT-LENGTH";

}  // namespace

const std::string* HttpHeader::Find(std::string_view name) const {
  for (const auto& [entryName, text] : entries_) {
    if (EqualsIgnoreCase(entryName, name)) return &text;
  }
  return nullptr;
}

std::string HttpHeader::Value(std::string_view name) const {
  if (EqualsIgnoreCase(name, cookieName_)) return cookie_ ? cookie_->Text() : std::string();
  const std::string* text = Find(name);
  return text ? *text : std::string();
}

void HttpHeader::SetValue(std::string_view name, std::string_view text) {
  if (EqualsIgnoreCase(name, cookieName_)) {
    HttpValues& cookie = Cookie();
    std::string joined = cookie.Text();
    if (!joined.empty()) joined += ';';
    joined += text;
    cookie.SetText(joined);
    return;
  }
  for (auto& [entryName, entryText] : entries_) {
    if (EqualsIgnoreCase(entryName, name)) {
      entryText = text;
      return;
    }
  }
  // Room for a usual header at once, instead of growing through 1, 2, 4 and 8 entries.
  if (entries_.empty()) entries_.reserve(8);
  entries_.emplace_back(std::string(name), std::string(text));
}

int64_t HttpHeader::ContentLength() const {
  const std::string* entry = Find(kContentLength);
  std::string_view text = entry ? TrimControl(*entry) : std::string_view();
  if (text.empty()) return 0;
  int64_t length = 0;
  auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), length);
  if (error != std::errc() || stop != text.data() + text.size()) {
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value.");
  }
  return length;
}

void HttpHeader::SetContentLength(int64_t length) {
  SetValue(kContentLength, std::to_string(length));
}

bool HttpHeader::HasContentLength() const {
  const std::string* entry = Find(kContentLength);
  return entry && !TrimControl(*entry).empty();
}

std::string HttpHeader::HeaderText() const {
  std::string text;
  AppendHeaderText(text);
  return text;
}

void HttpHeader::AppendHeaderText(std::string& out) const {
  for (const auto& [name, value] : entries_) {
    if (value.empty()) continue;  // emptied entries stand for removed header lines
    out.append(name).append(": ").append(value).append("\r\n");
  }
  if (cookie_ && !cookie_->Text().empty()) {
    for (size_t i = 0; i < cookie_->Count(); ++i) {
      out.append(cookieName_).append(": ");
      out += cookie_->Name(i) + "=" + cookie_->ValueAt(i) + "\r\n";
    }
  }
}

void HttpHeader::SetHeaderText(std::string_view text) {
  while (!text.empty()) {
    bool ended = false;
    std::string_view line = TakeLine(text, ended);
    if (ended && line.empty()) break;  // a bare LF closes the header; CR LF alone does not
    if (ended && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = TrimControl(line.substr(0, colon));
    if (name.empty()) continue;  // would come out as a line starting with ':'
    SetValue(name, TrimControl(line.substr(colon + 1)));
  }
}

HttpValues& HttpHeader::Cookie() {
  return const_cast<HttpValues&>(static_cast<const HttpHeader*>(this)->Cookie());
}

const HttpValues& HttpHeader::Cookie() const {
  if (!cookie_) {
    cookie_ = std::make_unique<HttpValues>();
    cookie_->SetDelimiter(";");
  }
  return *cookie_;
}

void HttpHeader::ClearHeader() {
  // Records are cleared between requests; what a connection keeps while it waits for the next
  // one should be next to nothing, so the entries' room goes too.
  std::vector<std::pair<std::string, std::string>>().swap(entries_);
  cookie_.reset();
}

Info& ServerRequest::GetInfo() {
  if (!info_) info_ = std::make_unique<Info>();
  return *info_;
}

HttpValues& ServerRequest::Query() {
  if (!query_) query_ = std::make_unique<HttpValues>();
  return *query_;
}

HttpValues& ServerRequest::Params() {
  if (!params_) params_ = std::make_unique<HttpValues>();
  return *params_;
}

const std::vector<std::string>& ServerRequest::FilePath() {
  if (!filePath_) filePath_ = std::make_unique<std::vector<std::string>>(SplitPath(fileName_));
  return *filePath_;
}

void ServerRequest::SetMethod(std::string_view method) {
  method_ = UpperCase(method);
}

// The reader sets FileName on a cleared request, where both are "", so the first FileName is also
// the raw path; a provider that rewrites FileName later leaves the raw path alone.
void ServerRequest::SetFileName(std::string_view name) {
  if (fileName_ == rawPath_) rawPath_ = name;
  fileName_ = name;
  if (filePath_) *filePath_ = SplitPath(fileName_);
}

std::string ServerRequest::URI() {
  std::string query = query_ ? query_->Text() : std::string();
  return query.empty() ? rawPath_ : rawPath_ + "?" + query;
}

void ServerRequest::ApplyFixup(const ServerRequestFixup& fixup) {
  std::string name = fileName_;
  if (fixup.removePrefix && name.size() > 8) {
    size_t scheme = StartsWithIgnoreCase(name, "HTTPS://")  ? 8
                    : StartsWithIgnoreCase(name, "HTTP://") ? 7
                                                            : 0;
    if (scheme > 0) {
      size_t slash = name.find('/', scheme);
      name = slash == std::string::npos ? std::string() : name.substr(slash);
    }
  }
  if (fixup.decodeFileName) name = PercentDecode(name);
  if (fixup.decodeQuery && query_) {
    if (query_->Count() > 0) {
      query_->PercentDecodeAll();
    } else {
      query_->SetText(PercentDecode(query_->Text()));
    }
  }
  if (fixup.upperCaseFileName) name = UpperCase(name);
  if (name != fileName_) {
    fileName_ = std::move(name);
    if (filePath_) *filePath_ = SplitPath(fileName_);
  }
}

void ServerRequest::Clear() {
  ClearHeader();
  info_.reset();
  query_.reset();
  params_.reset();
  filePath_.reset();
  std::string().swap(method_);
  std::string().swap(fileName_);
  std::string().swap(rawPath_);
  close = false;
  started = false;
  complete = false;
  accepted = false;
  contentIn = 0;
}

void ServerResponse::SetHeaderText(std::string_view text) {
  if (StartsWithIgnoreCase(text, "HTTP/") || StartsWithIgnoreCase(text, "HTTPS/")) {
    bool ended = false;
    std::string_view line = TakeLine(text, ended);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    statusCode = 0;
    statusText.clear();
    size_t first = line.find(' ');
    if (first != std::string_view::npos) {
      std::string_view rest = line.substr(first + 1);
      size_t second = rest.find(' ');
      std::string_view code = rest.substr(0, second);
      int value = 0;
      auto [stop, error] = std::from_chars(code.data(), code.data() + code.size(), value);
      bool number = !code.empty() && code.front() != '-' && error == std::errc() &&
                    stop == code.data() + code.size();
      if (number) {
        statusCode = value;
        if (second != std::string_view::npos) statusText = rest.substr(second + 1);
      }
    }
  }
  HttpHeader::SetHeaderText(text);
}

void ServerResponse::Clear() {
  ClearHeader();
  statusCode = 200;
  statusText = "OK";
  sending = false;
  headerSent = false;
  done = false;
  sent = false;
  sendContent = true;
  contentOut = 0;
}

}  // namespace vidoria
