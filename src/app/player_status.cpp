#include "app/player_status.h"

#include <charconv>
#include <optional>

#include "library/library_table.h"

namespace vidoria {

namespace {

// Blanks and control characters, as the player pads its fields with both.
bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

std::string Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::optional<double> Seconds(std::string_view text) {
  double seconds = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, seconds);
  if (error != std::errc() || stop != end) return std::nullopt;
  return seconds;
}

// The clock's field after `label` ("A:" or "V:"): its first word, as the player pads it.
std::string ClockAfter(std::string_view line, std::string_view label) {
  std::string_view rest = line.substr(line.find(label) + label.size());
  while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
  size_t end = 0;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  const std::string number(rest.substr(0, end));
  const std::optional<double> seconds = Seconds(number);
  return seconds ? SecondsToTime(*seconds) : number;
}

// The clip-information field "Name: value" that starts the line, or nullopt: the field name is
// one word ending in `suffix`, so "CPU vendor name: ..." is none.
std::optional<std::string> Field(std::string_view trimmed, std::string_view suffix) {
  const size_t colon = trimmed.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view name = trimmed.substr(0, colon + 1);
  if (name.size() < suffix.size() || name.substr(name.size() - suffix.size()) != suffix)
    return std::nullopt;
  for (char c : name) {
    if (IsBlank(c)) return std::nullopt;
  }
  return Trim(trimmed.substr(colon + 1));
}

}  // namespace

bool PlayerStatus::Take(std::string_view line) {
  const std::string trimmed = Trim(line);
  const std::string_view text(trimmed);
  if (text.starts_with("A:") || text.starts_with("V:")) {
    const bool audio = text.starts_with("A:");
    position_ = ClockAfter(text, audio ? "A:" : "V:");
    sawPosition_ = true;
  } else if (text.starts_with("Playing ") && text.size() > 9 && text.back() == '.') {
    const std::string_view path = text.substr(8, text.size() - 9);
    const size_t slash = path.rfind('/');
    title_ = std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
  } else if (auto title = Field(text, "itle:")) {
    title_ = *title;
  } else if (auto name = Field(text, "ame:")) {
    title_ = *name;
  } else {
    return false;
  }
  text_ = Trim(title_ + " " + position_);
  return true;
}

}  // namespace vidoria
