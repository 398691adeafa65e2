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

std::string WithoutFirst(std::string_view line, std::string_view what) {
  const size_t at = line.find(what);
  if (at == std::string_view::npos) return std::string(line);
  std::string rest(line.substr(0, at));
  rest += line.substr(at + what.size());
  return rest;
}

std::optional<double> Seconds(std::string_view text) {
  double seconds = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, seconds);
  if (error != std::errc() || stop != end) return std::nullopt;
  return seconds;
}

// The player's status line carries the audio clock as "A:" and a number before its "V:".
std::string PlaybackPosition(std::string_view beforeVideo) {
  std::string position = Trim(beforeVideo);
  if (position.find("A:") == std::string::npos) return position;
  const std::string number = Trim(WithoutFirst(position, "A:"));
  const std::optional<double> seconds = Seconds(number);
  return seconds ? SecondsToTime(*seconds) : number;
}

}  // namespace

std::string PlayerStatus::Take(std::string_view line) {
  std::string position;
  if (line.find("itle:") != std::string_view::npos) {
    title_ = Trim(WithoutFirst(line, "Title:"));
  } else if (line.find("ame:") != std::string_view::npos) {
    title_ = Trim(WithoutFirst(line, "name:"));
  } else if (const size_t layer = line.find("Layer"); layer != std::string_view::npos) {
    position = Trim(line.substr(0, layer));
    sawPosition_ = true;
  } else if (const size_t video = line.find("V:"); video != std::string_view::npos) {
    position = PlaybackPosition(line.substr(0, video));
    sawPosition_ = true;
  }
  return Trim(title_ + " " + position);
}

}  // namespace vidoria
