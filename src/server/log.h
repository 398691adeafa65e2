// The web log: time-stamped lines appended to daily files, one process-wide writer.
//
// Thread safety: every member of LogWriter may be called from any thread. One mutex per writer
// guards all of its state and is held for the whole of each write (clock reading, folder
// computation, open, write, close), so lines never interleave and appear in the order in which
// the threads took the lock. Log and LogException never throw and never report failures: a line
// that cannot be written is dropped and the next one is tried normally.
//
// Files are opened and closed for every line, so another program may read, move or delete them at
// any time. Log files are never deleted by the writer.
#pragma once

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
  };

  LogWriter();
  explicit LogWriter(Options options);  // empty fields take the defaults

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
  std::string FolderLocked();

  const Options options_;
  mutable std::mutex mutex_;
  bool started_ = false;  // guarded by mutex_
  std::string folder_;    // guarded by mutex_
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
