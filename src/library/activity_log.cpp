#include "library/activity_log.h"

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
    lines_.push_back(line);
    listener = listener_;
  }
  if (listener) listener(line);
}

void ActivityLog::SetClosing(bool closing) {
  std::lock_guard lock(mu_);
  closing_ = closing;
}

std::vector<std::string> ActivityLog::Lines() const {
  std::lock_guard lock(mu_);
  return lines_;
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
