#include "upnp/soap.h"

#include <cstdint>

#include "upnp/xml_text.h"

namespace vidoria {

namespace {

// Envelope > Body > action > argument: anything deeper is no call a media server answers.
constexpr int kMaxDepth = 4;
constexpr size_t kMaxArguments = 64;

constexpr std::string_view kEnvelopeOpen =
    R"(<?xml version="1.0" encoding="utf-8"?>)"
    "\n"
    R"(<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/" )"
    R"(s:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><s:Body>)";
constexpr std::string_view kEnvelopeClose = "</s:Body></s:Envelope>\n";

std::string_view LocalName(std::string_view qualified) {
  const size_t colon = qualified.find(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The character a reference stands for ("amp", "#38", "#x26"), appended; false for any other.
bool AppendReference(std::string& out, std::string_view name) {
  static constexpr std::pair<std::string_view, char> kPredefined[] = {
      {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& [entity, c] : kPredefined) {
    if (name == entity) {
      out += c;
      return true;
    }
  }
  if (name.size() < 2 || name[0] != '#') return false;
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return false;
  uint32_t code = 0;
  for (const char c : digits) {
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    if (hex && c >= 'a' && c <= 'f') value = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') value = c - 'A' + 10;
    if (value < 0) return false;
    code = code * (hex ? 16 : 10) + static_cast<uint32_t>(value);
  }
  const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                       (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD) ||
                       (code >= 0x10000 && code <= 0x10FFFF);
  if (!allowed) return false;
  AppendUtf8(out, code);
  return true;
}

// Reads one envelope; every step either advances or refuses.
class SoapReader {
 public:
  explicit SoapReader(std::string_view text) : text_(text) {}

  std::optional<SoapCall> Read() {
    while (at_ < text_.size()) {
      if (text_[at_] != '<') {
        if (!Text()) return std::nullopt;
      } else if (!Markup()) {
        return std::nullopt;
      }
    }
    if (!open_.empty() || !finished_ || call_.action.empty()) return std::nullopt;
    return std::move(call_);
  }

 private:
  bool Text() {
    const size_t end = text_.find('<', at_);
    const std::string_view raw = text_.substr(at_, end == std::string_view::npos ? end : end - at_);
    at_ += raw.size();
    const bool inArgument = open_.size() == kMaxDepth;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '&') {
        const size_t semicolon = raw.find(';', i);
        if (semicolon == std::string_view::npos) return false;
        std::string decoded;
        if (!AppendReference(decoded, raw.substr(i + 1, semicolon - i - 1))) return false;
        if (inArgument) call_.arguments.back().second += decoded;
        i = semicolon;
      } else if (inArgument) {
        call_.arguments.back().second += raw[i];
      } else if (!IsBlank(raw[i])) {
        return false;  // text between elements: no envelope
      }
    }
    return true;
  }

  bool Markup() {
    const std::string_view rest = text_.substr(at_);
    if (rest.starts_with("<?")) return Skip("?>");
    if (rest.starts_with("<!--")) return Skip("-->");
    if (rest.starts_with("<![CDATA[")) {
      if (open_.size() != kMaxDepth) return false;
      const size_t end = text_.find("]]>", at_);
      if (end == std::string_view::npos) return false;
      call_.arguments.back().second += text_.substr(at_ + 9, end - at_ - 9);
      at_ = end + 3;
      return true;
    }
    // A document type, and with it every entity of the sender's own, is refused outright.
    if (rest.starts_with("<!")) return false;
    if (rest.starts_with("</")) return EndTag();
    return StartTag();
  }

  bool Skip(std::string_view end) {
    const size_t found = text_.find(end, at_);
    if (found == std::string_view::npos) return false;
    at_ = found + end.size();
    return true;
  }

  bool StartTag() {
    if (finished_) return false;  // a second root element
    size_t i = at_ + 1;
    const size_t nameStart = i;
    while (i < text_.size() && !IsBlank(text_[i]) && text_[i] != '/' && text_[i] != '>') ++i;
    const std::string_view name = text_.substr(nameStart, i - nameStart);
    if (name.empty()) return false;
    // Attributes: names and quoted values, skipped; only their form is checked.
    bool empty = false;
    while (true) {
      while (i < text_.size() && IsBlank(text_[i])) ++i;
      if (i >= text_.size()) return false;
      if (text_[i] == '>') break;
      if (text_.substr(i).starts_with("/>")) {
        empty = true;
        ++i;
        break;
      }
      const size_t equals = text_.find('=', i);
      if (equals == std::string_view::npos) return false;
      size_t quote = equals + 1;
      while (quote < text_.size() && IsBlank(text_[quote])) ++quote;
      if (quote >= text_.size() || (text_[quote] != '"' && text_[quote] != '\'')) return false;
      const size_t close = text_.find(text_[quote], quote + 1);
      if (close == std::string_view::npos) return false;
      if (text_.substr(quote + 1, close - quote - 1).find('<') != std::string_view::npos) {
        return false;
      }
      i = close + 1;
    }
    at_ = i + 1;
    if (!Open(name)) return false;
    if (empty) Close();
    return true;
  }

  bool EndTag() {
    const size_t end = text_.find('>', at_);
    if (end == std::string_view::npos || open_.empty()) return false;
    std::string_view name = text_.substr(at_ + 2, end - at_ - 2);
    while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
    if (name != open_.back()) return false;
    at_ = end + 1;
    Close();
    return true;
  }

  bool Open(std::string_view name) {
    const size_t depth = open_.size() + 1;
    if (depth > kMaxDepth) return false;
    const std::string_view local = LocalName(name);
    if (local.empty() || name.find_first_of("<&\"'=") != std::string_view::npos) return false;
    if (depth == 1 && local != "Envelope") return false;
    if (depth == 2 && local != "Body") return false;
    if (depth == 2 && sawBody_) return false;
    if (depth == 3) {
      if (!call_.action.empty()) return false;  // one action per call
      call_.action = local;
    }
    if (depth == 4) {
      if (call_.arguments.size() >= kMaxArguments) return false;
      call_.arguments.emplace_back(std::string(local), std::string());
    }
    if (depth == 2) sawBody_ = true;
    open_.push_back(name);
    return true;
  }

  void Close() {
    open_.pop_back();
    if (open_.empty()) finished_ = true;
  }

  std::string_view text_;
  size_t at_ = 0;
  std::vector<std::string_view> open_;  // the elements entered and not yet left, outermost first
  bool sawBody_ = false;
  bool finished_ = false;
  SoapCall call_;
};

}  // namespace

const std::string* SoapCall::Argument(std::string_view name) const {
  for (const auto& [key, value] : arguments) {
    if (key == name) return &value;
  }
  return nullptr;
}

std::optional<SoapCall> ReadSoapCall(std::string_view body) {
  // A byte-order mark some stacks put first.
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  return SoapReader(body).Read();
}

std::optional<std::pair<std::string, std::string>> ReadSoapActionHeader(std::string_view header) {
  while (!header.empty() && IsBlank(header.front())) header.remove_prefix(1);
  while (!header.empty() && IsBlank(header.back())) header.remove_suffix(1);
  if (header.size() >= 2 && header.front() == '"' && header.back() == '"') {
    header = header.substr(1, header.size() - 2);
  }
  const size_t hash = header.rfind('#');
  if (hash == std::string_view::npos || hash == 0 || hash + 1 == header.size()) return std::nullopt;
  return std::pair{std::string(header.substr(0, hash)), std::string(header.substr(hash + 1))};
}

std::string SoapAnswer(std::string_view serviceType, std::string_view action,
                       const std::vector<std::pair<std::string, std::string>>& out) {
  std::string xml(kEnvelopeOpen);
  xml += "<u:";
  xml += action;
  xml += "Response xmlns:u=\"";
  xml += serviceType;
  xml += "\">";
  for (const auto& [name, value] : out) {
    xml += "<" + name + ">" + XmlText(value) + "</" + name + ">";
  }
  xml += "</u:";
  xml += action;
  xml += "Response>";
  xml += kEnvelopeClose;
  return xml;
}

std::string SoapFault(unsigned code, std::string_view description) {
  std::string xml(kEnvelopeOpen);
  xml +=
      "<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring><detail>"
      "<UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>" +
      std::to_string(code) + "</errorCode><errorDescription>" + XmlText(description) +
      "</errorDescription></UPnPError></detail></s:Fault>";
  xml += kEnvelopeClose;
  return xml;
}

}  // namespace vidoria
