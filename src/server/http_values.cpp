#include "server/http_values.h"
#include "server/text.h"

#include <utility>

namespace vidoria {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      int high = HexDigit(text[i + 1]);
      int low = HexDigit(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

void HttpValues::AddText(std::string_view text) {
  if (textOutdated_) {
    // Fold the changes into the raw text first; otherwise the re-parse below would lose them.
    raw_ = Text();
    textOutdated_ = false;
  }
  raw_ += text;
  parsePending_ = true;
}

std::string HttpValues::Text() const {
  if (!textOutdated_) return raw_;
  Parse();
  const std::string delimiter = Delimiter();
  std::string text;
  for (const Entry& entry : entries_) {
    for (const std::string& value : entry.values) {
      if (!text.empty()) text += delimiter;
      text += entry.name;
      text += '=';
      text += value;
    }
  }
  return text;
}

void HttpValues::SetText(std::string_view text) {
  Clear();
  AddText(text);
}

std::string HttpValues::Value(std::string_view name) const {
  const Entry* entry = Find(name);
  return entry ? entry->values.back() : std::string();
}

void HttpValues::SetValue(std::string_view name, std::string_view value) {
  Entry* entry = Find(name);
  if (!entry) {
    if (value.empty()) return;
    entries_.push_back({std::string(name), {std::string(value)}});
  } else if (!value.empty()) {
    entry->values.back() = value;
  } else {
    entry->values.pop_back();
    if (entry->values.empty()) entries_.erase(entries_.begin() + (entry - entries_.data()));
  }
  textOutdated_ = true;
}

size_t HttpValues::Count() const {
  Parse();
  return entries_.size();
}

std::string HttpValues::Name(size_t index) const {
  Parse();
  return index < entries_.size() ? entries_[index].name : std::string();
}

std::string HttpValues::ValueAt(size_t index) const {
  Parse();
  return index < entries_.size() ? entries_[index].values.back() : std::string();
}

void HttpValues::Clear() {
  entries_.clear();
  raw_.clear();
  parsePending_ = false;
  textOutdated_ = false;
  chosenDelimiter_.clear();
}

std::string HttpValues::Delimiter() const {
  if (!delimiter_.empty()) return delimiter_;
  Parse();
  return chosenDelimiter_.empty() ? "&" : chosenDelimiter_;
}

void HttpValues::SetDelimiter(std::string_view delimiter) {
  delimiter_ = delimiter;
  parsePending_ = true;
}

void HttpValues::PercentDecodeAll() {
  Parse();
  std::vector<Entry> decoded;
  decoded.swap(entries_);
  for (Entry& entry : decoded) {
    std::string name = PercentDecode(entry.name);
    Entry* target = Find(name);
    if (!target) {
      entries_.push_back({std::move(name), {}});
      target = &entries_.back();
    }
    for (const std::string& value : entry.values) target->values.push_back(PercentDecode(value));
  }
  textOutdated_ = true;
}

// The whole raw text is parsed again each time, never just the newly added tail: a body that
// arrives in pieces may be read between two pieces, and a pair cut in half by that must still come
// out whole once the rest is added.
void HttpValues::Parse() const {
  if (!parsePending_) return;
  parsePending_ = false;
  if (textOutdated_) return;  // the list is the current state; raw_ is stale until AddText
  entries_.clear();
  chosenDelimiter_.clear();
  if (delimiter_.size() >= 2) return;  // a multipart boundary; its bodies are not taken apart

  std::string_view delimiter = delimiter_;
  if (delimiter.empty()) {
    size_t semicolon = raw_.find(';');
    size_t ampersand = raw_.find('&');
    if (semicolon != std::string::npos || ampersand != std::string::npos) {
      chosenDelimiter_ = semicolon < ampersand ? ";" : "&";
    }
    delimiter = chosenDelimiter_.empty() ? std::string_view("&") : chosenDelimiter_;
  }

  std::string_view rest = raw_;
  while (!rest.empty()) {
    size_t end = rest.find(delimiter[0]);
    std::string_view item = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    size_t equals = item.find('=');
    if (equals == std::string_view::npos) continue;  // empty items and bare words carry no pair
    std::string_view name = TrimControl(item.substr(0, equals));
    std::string value(item.substr(equals + 1));
    if (Entry* entry = Find(name)) {
      entry->values.push_back(std::move(value));
    } else {
      entries_.push_back({std::string(name), {std::move(value)}});
    }
  }
}

HttpValues::Entry* HttpValues::Find(std::string_view name) const {
  Parse();
  for (Entry& entry : entries_) {
    if (EqualsIgnoreCase(entry.name, name)) return &entry;
  }
  return nullptr;
}

}  // namespace vidoria
