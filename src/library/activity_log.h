// The window's activity log and its status line, usable from any thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process_memory.h"

namespace vidoria {

// AddToLog: lines "<date> <time> : <text>". Thread-safe; the lines of one thread keep their order.
// While closing, lines are ignored. A listener (the window) is told of every new line, on the
// thread that added it, after the lock was released.
class ActivityLog {
 public:
  // Every video or picture request adds lines, so a server that runs for months would grow
  // without end; the newest lines are kept, the oldest dropped (the window's list keeps as many).
  static constexpr size_t kKeptLines = 10000;

  using Clock = std::function<std::string()>;  // the "<date> <time>" part
  using Listener = std::function<void(const std::string& line)>;

  ActivityLog();  // local time as "yyyy-mm-dd hh:mm:ss"
  explicit ActivityLog(Clock clock);

  void Add(std::string_view text);
  void SetClosing(bool closing);
  std::vector<std::string> Lines() const;
  void SetListener(Listener listener);

 private:
  // Kept lines packed into large blocks of text: one line per allocation, each staying for hours
  // beside a burst's short-lived allocations, kept nearly every page of the heap in use after
  // the burst (vidoriad held 20 MiB instead of 9 after waves of 5,000 connections). A block is
  // large enough to be mapped apart from the heap, and only the pages its text reached count.
  struct Block {
    std::string text;            // the lines, back to back
    std::vector<uint32_t> ends;  // where each line ends in `text`
  };
  static constexpr size_t kBlockBytes = kSeparatelyMappedBytes;

  void KeepLocked(const std::string& line);

  const Clock clock_;
  mutable std::mutex mu_;     // guards everything below
  std::deque<Block> blocks_;  // oldest first; the oldest lines beyond kKeptLines are skipped
  size_t lineCount_ = 0;      // lines in blocks_
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
