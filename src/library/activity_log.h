// The window's activity log and its status line, usable from any thread.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vidoria {

// AddToLog: lines "<date> <time> : <text>". Thread-safe; the lines of one thread keep their order.
// While closing, lines are ignored. A listener (the window) is told of every new line, on the
// thread that added it, after the lock was released.
class ActivityLog {
 public:
  using Clock = std::function<std::string()>;  // the "<date> <time>" part
  using Listener = std::function<void(const std::string& line)>;

  ActivityLog();  // local time as "yyyy-mm-dd hh:mm:ss"
  explicit ActivityLog(Clock clock);

  void Add(std::string_view text);
  void SetClosing(bool closing);
  std::vector<std::string> Lines() const;
  void SetListener(Listener listener);

 private:
  const Clock clock_;
  mutable std::mutex mu_;  // guards everything below
  std::vector<std::string> lines_;
  bool closing_ = false;
  Listener listener_;
};

// "Show and log": the status panel's text, each shown text also going to the activity log.
// Thread-safe.
class StatusBoard {
 public:
  explicit StatusBoard(ActivityLog& log) : log_(log) {}
  void Show(std::string_view text);  // status := text, and AddToLog(text)
  void Clear();                      // status := "", not logged
  std::string Text() const;
  ActivityLog& Log() { return log_; }

 private:
  ActivityLog& log_;
  mutable std::mutex mu_;  // guards text_
  std::string text_;
};

}  // namespace vidoria
