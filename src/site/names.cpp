#include "site/names.h"

#include <algorithm>
#include <array>

namespace vidoria {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

template <typename Out>
void AppendEscaped(Out& out, unsigned char byte) {
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

constexpr std::array<bool, 256> kKeptInSegment = [] {
  std::array<bool, 256> kept{};
  for (int c = 0; c < 256; ++c) {
    kept[c] =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
        std::string_view("-._~!$(),+=:@").find(static_cast<char>(c)) != std::string_view::npos;
  }
  return kept;
}();

bool KeptInSegment(unsigned char c) {
  return kKeptInSegment[c];
}

bool AsciiAlphanumeric(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The character references that HTML decodes without a closing semicolon. Inside an attribute
// value it leaves them alone only when a letter, a digit or '=' follows.
constexpr std::array<std::string_view, 106> kLegacyReferences = {
    "AElig",  "AMP",    "Aacute", "Acirc",  "Agrave", "Aring",  "Atilde", "Auml",   "COPY",
    "Ccedil", "ETH",    "Eacute", "Ecirc",  "Egrave", "Euml",   "GT",     "Iacute", "Icirc",
    "Igrave", "Iuml",   "LT",     "Ntilde", "Oacute", "Ocirc",  "Ograve", "Oslash", "Otilde",
    "Ouml",   "QUOT",   "REG",    "THORN",  "Uacute", "Ucirc",  "Ugrave", "Uuml",   "Yacute",
    "aacute", "acirc",  "acute",  "aelig",  "agrave", "amp",    "aring",  "atilde", "auml",
    "brvbar", "ccedil", "cedil",  "cent",   "copy",   "curren", "deg",    "divide", "eacute",
    "ecirc",  "egrave", "eth",    "euml",   "frac12", "frac14", "frac34", "gt",     "iacute",
    "icirc",  "iexcl",  "igrave", "iquest", "iuml",   "laquo",  "lt",     "macr",   "micro",
    "middot", "nbsp",   "not",    "ntilde", "oacute", "ocirc",  "ograve", "ordf",   "ordm",
    "oslash", "otilde", "ouml",   "para",   "plusmn", "pound",  "quot",   "raquo",  "reg",
    "sect",   "shy",    "sup1",   "sup2",   "sup3",   "szlig",  "thorn",  "times",  "uacute",
    "ucirc",  "ugrave", "uml",    "uuml",   "yacute", "yen",    "yuml"};

// True when a browser would decode "&" + `encoded` as a character reference. PathSegment encodes
// '#' and ';', so only the references without a semicolon can start there.
bool ReadAsReference(std::string_view encoded) {
  size_t longest = 0;
  for (std::string_view name : kLegacyReferences) {
    if (encoded.starts_with(name)) longest = std::max(longest, name.size());
  }
  if (longest == 0) return false;
  if (longest == encoded.size()) return true;
  const char next = encoded[longest];
  return !AsciiAlphanumeric(next) && next != '=';
}

template <typename Out>
void WriteHtmlText(Out& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '\n':
        out += "&#10;";
        break;
      default:
        out += c;
    }
  }
}

template <typename Out>
void WritePathSegment(Out& out, std::string_view name) {
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (KeptInSegment(byte)) {
      out += c;
    } else {
      AppendEscaped(out, byte);
    }
  }
}

template <typename Out>
void WriteListLineName(Out& out, std::string_view name) {
  for (char c : name) {
    if (c == '\r' || c == '\n') {
      AppendEscaped(out, static_cast<unsigned char>(c));
    } else {
      out += c;
    }
  }
}

}  // namespace

void AppendHtmlText(std::string& out, std::string_view text) {
  WriteHtmlText(out, text);
}
void AppendHtmlText(TextSize& out, std::string_view text) {
  WriteHtmlText(out, text);
}

std::string HtmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendHtmlText(out, text);
  return out;
}

void AppendPathSegment(std::string& out, std::string_view name) {
  WritePathSegment(out, name);
}
void AppendPathSegment(TextSize& out, std::string_view name) {
  WritePathSegment(out, name);
}

std::string PathSegment(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  AppendPathSegment(out, name);
  return out;
}

std::string ListHref(std::string_view name) {
  std::string encoded = PathSegment(name);
  if (ReadAsReference(encoded)) {
    // The first byte is a plain ASCII letter here, so it is one byte of `encoded` as well.
    std::string guarded;
    AppendEscaped(guarded, static_cast<unsigned char>(encoded[0]));
    guarded.append(encoded, 1);
    return guarded;
  }
  return encoded;
}

void AppendListLineName(std::string& out, std::string_view name) {
  WriteListLineName(out, name);
}
void AppendListLineName(TextSize& out, std::string_view name) {
  WriteListLineName(out, name);
}

std::string ListLineName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  AppendListLineName(out, name);
  return out;
}

std::string ListLineListName(std::string_view name) {
  std::string out;
  for (char c : ListLineName(name)) {
    if (c == '*') {
      AppendEscaped(out, static_cast<unsigned char>(c));
    } else {
      out += c;
    }
  }
  return out;
}

std::string_view ItemTitle(std::string_view fileName) {
  size_t end = fileName.size();
  for (int dropped = 0; dropped < 4 && end > 0; ++dropped) {
    --end;
    // Step back over continuation bytes to the first byte of the character.
    while (end > 0 && (static_cast<unsigned char>(fileName[end]) & 0xC0) == 0x80) --end;
  }
  return fileName.substr(0, end);
}

}  // namespace vidoria
