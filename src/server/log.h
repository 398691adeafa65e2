// The web log: time-stamped lines appended to daily files, one process-wide writer.
//
// Thread safety: every member of LogWriter may be called from any thread. One mutex per writer
// guards all of its state and is held for the whole of each write (clock reading, folder
// computation, open, write), so lines never interleave and appear in the order in which the
// threads took the lock. Log and LogException never throw and never report failures: a line that
// cannot be written is dropped and the next one is tried normally.
//
// The file of the last line stays open, appended to, until a line goes to another file (a new day,
// another folder or name). Another program may still read, move or delete it at any time: at most
// once per second (by `ticks`) the writer compares the open file with what its name now names, and
// reopens the name when the file was moved away or deleted, so at most that second's lines follow
// the old file. Log files are never deleted by the writer.
#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace vidoria {

inline constexpr std::string_view kLogFolderName = "LOG";

struct LocalTime {
  int year, month, day, hour, minute, second;  // month 1-12, hour 0-23
};

class LogWriter {
 public:
  struct Options {
    std::string programFile;  // full path of the executable; default: realpath of /proc/self/exe
    std::string tempFolder;   // fallback parent of the log folder; default: $TMPDIR, else "/tmp"
    std::function<LocalTime()> clock;  // default: local time of the system clock
    // Paces the checks for a moved or deleted file; default: the steady clock.
    std::function<std::chrono::steady_clock::time_point()> ticks = {};
  };
  static constexpr std::chrono::seconds kRecheckInterval{1};

  LogWriter();
  explicit LogWriter(Options options);  // empty fields take the defaults
  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;
  ~LogWriter();

  // Switches logging on for the rest of the writer's life; before this every line is ignored and
  // no folder is computed or created.
  void Start();
  bool Started() const;

  // The folder the files go to, used as given (it is not created); a missing trailing '/' is
  // added. An empty folder means "compute at the first write": the program file's folder + "LOG/",
  // created if needed, else tempFolder + "/LOG/"; the result is kept.
  void SetFolder(std::string folder);
  std::string Folder() const;  // "" until set or computed

  // Appends stamp + text + CR LF to <folder><program name>.yyyy_mm_dd[.name].log; the date is that
  // of the stamp. The text is written unchanged, so CR LF inside it starts unstamped file lines.
  void Log(std::string_view text, std::string_view name = {});
  // Appends stamp + text + " Exception! " + class name + ": " + what() + CR LF to the undated
  // file <folder><program name>[.name].log.
  void LogException(std::string_view text, const std::exception& e, std::string_view name = {});

 private:
  void WriteLine(std::string_view text, std::string_view name, const std::exception* e);
  const std::string& FolderLocked();
  // Mutex held. Appends to `path`, opening it (again) when needed.
  void AppendLocked(const std::string& path, std::string_view data);
  void CloseLocked();

  const Options options_;
  const std::string programName_;  // the program file's name, the start of every file's name
  mutable std::mutex mutex_;       // guards every field below
  bool started_ = false;
  std::string folder_;
  // The file of the last line: its name, descriptor (-1: none), identity and last check.
  std::string openPath_;
  int fd_ = -1;
  uint64_t openDevice_ = 0, openInode_ = 0;
  std::chrono::steady_clock::time_point checkedAt_;
  // The stamp of the last line and the second it stands for.
  LocalTime stampTime_{};
  std::string stamp_;
};

// The process-wide writer with all defaults, created at first use. It is never destroyed, so
// threads still logging while the process's statics are torn down stay safe.
LogWriter& ProcessLog();

// The program's calls, all on ProcessLog().
void StartLog();
void SetLogFolder(std::string folder);
std::string LogFolder();
void Log(std::string_view text, std::string_view name = {});
void LogException(std::string_view text, const std::exception& e, std::string_view name = {});

}  // namespace vidoria
