#include "upnp/bookmarks.h"

#include <charconv>

#include "platform/atomic_write.h"
#include "platform/file_bytes.h"

namespace vidoria {

Bookmarks::Bookmarks(std::string path) : path_(std::move(path)) {
  if (path_.empty()) return;
  const auto bytes = ReadFileBytes(path_);
  if (!bytes) return;
  std::string_view text = *bytes;
  while (!text.empty()) {
    const size_t end = text.find("\r\n");
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 2);
    const size_t space = line.find(' ');
    if (space == std::string_view::npos || space + 1 == line.size()) continue;
    uint32_t seconds = 0;
    const auto [at, error] = std::from_chars(line.data(), line.data() + space, seconds);
    if (error != std::errc() || at != line.data() + space || seconds == 0) continue;
    const std::string video(line.substr(space + 1));
    if (marks_.contains(video) || marks_.size() >= kMaxBookmarks) continue;
    order_.push_back(video);
    marks_[video] = {seconds, std::prev(order_.end())};
  }
}

std::optional<std::string> Bookmarks::Set(const std::string& videoPath, uint32_t seconds) {
  if (videoPath.find_first_of("\r\n") != std::string::npos) return "a name with a line break";
  std::lock_guard hold(lock_);
  if (const auto at = marks_.find(videoPath); at != marks_.end()) {
    order_.erase(at->second.place);
    marks_.erase(at);
  }
  if (seconds > 0) {
    if (marks_.size() >= kMaxBookmarks) {
      marks_.erase(order_.front());
      order_.pop_front();
    }
    order_.push_back(videoPath);
    marks_[videoPath] = {seconds, std::prev(order_.end())};
  }
  if (path_.empty()) return std::nullopt;
  std::string text;
  for (const std::string& video : order_) {
    text += std::to_string(marks_.at(video).seconds) + " " + video + "\r\n";
  }
  if (auto written = WriteFileAtomically(path_, text); !written) return written.Error().Text();
  return std::nullopt;
}

uint32_t Bookmarks::Get(const std::string& videoPath) const {
  std::lock_guard hold(lock_);
  const auto at = marks_.find(videoPath);
  return at == marks_.end() ? 0 : at->second.seconds;
}

}  // namespace vidoria
