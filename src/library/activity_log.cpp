#include "library/activity_log.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace vidoria {

namespace {
std::string LocalDateTime() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm t{};
  ::localtime_r(&now, &t);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &t);
  return text;
}
}  // namespace

ActivityLog::ActivityLog() : ActivityLog(LocalDateTime) {}

ActivityLog::ActivityLog(Clock clock) : clock_(std::move(clock)) {}

void ActivityLog::Add(std::string_view text) {
  Listener listener;
  std::string line;
  {
    std::lock_guard lock(mu_);
    if (closing_) return;
    line = clock_() + " : " + std::string(text);
    KeepLocked(line);
    listener = listener_;
  }
  if (listener) listener(line);
}

void ActivityLog::SetClosing(bool closing) {
  std::lock_guard lock(mu_);
  closing_ = closing;
}

void ActivityLog::KeepLocked(const std::string& line) {
  if (blocks_.empty() ||
      blocks_.back().text.size() + line.size() > blocks_.back().text.capacity()) {
    blocks_.emplace_back().text.reserve(std::max(kBlockBytes, line.size()));
  }
  Block& block = blocks_.back();
  block.text += line;
  block.ends.push_back(static_cast<uint32_t>(block.text.size()));
  ++lineCount_;
  while (lineCount_ - blocks_.front().ends.size() >= kKeptLines) {
    lineCount_ -= blocks_.front().ends.size();
    blocks_.pop_front();
  }
}

std::vector<std::string> ActivityLog::Lines() const {
  std::lock_guard lock(mu_);
  std::vector<std::string> lines;
  lines.reserve(std::min(lineCount_, kKeptLines));
  size_t skip = lineCount_ > kKeptLines ? lineCount_ - kKeptLines : 0;
  for (const Block& block : blocks_) {
    uint32_t begin = 0;
    for (const uint32_t end : block.ends) {
      if (skip > 0) {
        --skip;
      } else {
        lines.emplace_back(block.text, begin, end - begin);
      }
      begin = end;
    }
  }
  return lines;
}

void ActivityLog::SetListener(Listener listener) {
  std::lock_guard lock(mu_);
  listener_ = std::move(listener);
}

void StatusBoard::Show(std::string_view text) {
  {
    std::lock_guard lock(mu_);
    text_ = text;
  }
  log_.Add(text);
}

void StatusBoard::Clear() {
  std::lock_guard lock(mu_);
  text_.clear();
}

std::string StatusBoard::Text() const {
  std::lock_guard lock(mu_);
  return text_;
}

}  // namespace vidoria
