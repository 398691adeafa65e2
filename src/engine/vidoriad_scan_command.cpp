// `vidoriad scan`: one pass over the watched folders, as the server's rescan runs it, then the
// library is stored (the pass's end stores it) and the program exits. Only the library file
// changes; the other stored files are left as they are.
#include <sys/ioctl.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string_view>

#include "engine/engine.h"
#include "engine/vidoriad_command_parts.h"
#include "server/main_thread.h"

namespace vidoria {
namespace {

// The engine's `wake`, called from the walk's thread and after each slice of rows.
class Waker {
 public:
  void Wake() {
    std::lock_guard lock(mu_);
    woken_ = true;
    cv_.notify_one();
  }
  void Wait(std::chrono::milliseconds longest) {
    std::unique_lock lock(mu_);
    cv_.wait_for(lock, longest, [this] { return woken_; });
    woken_ = false;
  }

 private:
  std::mutex mu_;  // guards woken_
  std::condition_variable cv_;
  bool woken_ = false;
};

// The activity lines of the pass, from the walk's thread and the main one: the newest is the
// progress to show ("Scanning FOLDER", "NAME (i of n)"; the status text is cleared again at
// once), and what the user must see (a folder that could not be read, a name the library cannot
// store) is kept for the main thread to print between ticks.
class PassLines {
 public:
  void Add(const std::string& stampedLine) {
    const size_t text = stampedLine.find(" : ");
    const std::string_view line = text == std::string::npos
                                      ? std::string_view(stampedLine)
                                      : std::string_view(stampedLine).substr(text + 3);
    std::lock_guard lock(mu_);
    if (line.starts_with("Cannot read ") || line.starts_with("Skipped in ")) {
      warnings_.emplace_back(line);
    } else {
      latest_ = line;
    }
  }
  std::vector<std::string> TakeWarnings() {
    std::lock_guard lock(mu_);
    return std::exchange(warnings_, {});
  }
  std::string Latest() const {
    std::lock_guard lock(mu_);
    return latest_;
  }

 private:
  mutable std::mutex mu_;  // guards everything below
  std::vector<std::string> warnings_;
  std::string latest_ = "Scanning";
};

// One line on a terminal, rewritten in place; nothing elsewhere (a log or a pipe wants the end).
class ProgressLine {
 public:
  explicit ProgressLine(std::ostream& out) : out_(out), shown_(::isatty(STDOUT_FILENO) == 1) {}
  void Show(std::string text) {
    if (!shown_ || text == last_) return;
    last_ = text;
    // Longer than the terminal, the line would wrap and '\r' would no longer reach its start.
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 &&
        text.size() >= size.ws_col) {
      text.resize(size.ws_col - 1);
      while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
        text.pop_back();  // not in the middle of a UTF-8 character
      }
      if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0) text.pop_back();
    }
    out_ << "\r\033[K" << text << std::flush;
  }
  void Clear() {
    if (shown_ && !last_.empty()) out_ << "\r\033[K" << std::flush;
    last_.clear();
  }

 private:
  std::ostream& out_;
  const bool shown_;
  std::string last_;
};

int LibraryFiles(const Engine& engine) {
  const Table& table = engine.LibraryTable();
  int count = 0;
  for (int row = 0; row < table.RowCount(); ++row) {
    if (!table.Cell(LibraryColumn::kPath, row).empty()) ++count;
  }
  return count;
}

int ScanWithEngine(const CommandContext& context, const std::string& dataFolder) {
  Waker waker;
  EngineOptions options;
  options.dataFolder = dataFolder;
  // The stored switches are applied as a start applies them, but a scan sets nothing off: no
  // server starts, and with no home the autostart switch finds no shortcut to rewrite (it names
  // the program that wrote it, maybe the window).
  options.env = [](const char*) { return std::string(); };
  options.startAction = [] {};
  options.reportError = [&context](const std::string& message) {
    *context.err << "vidoriad: " << message << std::endl;
  };
  options.wake = [&waker] { waker.Wake(); };
  Engine engine(std::move(options));
  if (!engine.Create()) {
    *context.err << kMissingCompanion << std::endl;
    return 1;
  }
  if (engine.WatchedFolders().empty()) {
    *context.err << "vidoriad: no folder is watched; add one with: vidoriad watch FOLDER"
                 << std::endl;
    return 1;
  }
  // One pass: a rescan timer must not start another while this one runs long.
  engine.SetAutoscan(false);
  PassLines lines;
  engine.Activity().SetListener([&lines](const std::string& line) { lines.Add(line); });
  ProgressLine progress(*context.out);
  const int before = LibraryFiles(engine);
  engine.ScanWatchedFolders();
  while (engine.Scanning()) {
    engine.Tick(Engine::Clock::now());
    const std::vector<std::string> warnings = lines.TakeWarnings();
    if (!warnings.empty()) progress.Clear();
    for (const std::string& line : warnings) *context.err << "vidoriad: " << line << std::endl;
    progress.Show(lines.Latest() + " - " + std::to_string(LibraryFiles(engine) - before) +
                  " added");
    if (engine.Scanning()) waker.Wait(std::chrono::milliseconds(100));
  }
  progress.Clear();
  for (const std::string& line : lines.TakeWarnings())
    *context.err << "vidoriad: " << line << std::endl;
  const int after = LibraryFiles(engine);
  *context.out << "Scanned " << engine.WatchedFolders().size()
               << (engine.WatchedFolders().size() == 1 ? " folder: " : " folders: ")
               << (after - before) << (after - before == 1 ? " file" : " files")
               << " added; the library holds " << after << "." << std::endl;
  engine.Activity().SetListener({});
  return 0;
}

}  // namespace

int Scan(const CommandContext& context) {
  const auto claim = ClaimForChange(context);
  if (!claim) return 1;
  LoopMainThread mainThread;
  ProcessCore().main = &mainThread;
  const int exitCode = ScanWithEngine(context, claim->dataFolder);
  // The engine's server never listened, but its core's threads end as the server's do.
  ProcessCore().Shutdown([&] { mainThread.ProcessPending(); });
  return exitCode;
}

}  // namespace vidoria
