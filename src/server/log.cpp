#include "server/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "server/exceptions.h"

namespace vidoria {
namespace {

std::string RunningProgramFile() {
  std::unique_ptr<char, void (*)(void*)> path(::realpath("/proc/self/exe", nullptr), std::free);
  return path ? std::string(path.get()) : std::string();
}

std::string SystemTempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? std::string(tmp) : std::string("/tmp");
}

LocalTime SystemLocalTime() {
  // localtime_r is worth sparing when many lines fall in one second.
  thread_local std::time_t last = -1;
  thread_local LocalTime lastTime{};
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  if (now != last) {
    std::tm t{};
    ::localtime_r(&now, &t);
    lastTime = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
    last = now;
  }
  return lastTime;
}

LogWriter::Options WithDefaults(LogWriter::Options options) {
  if (options.programFile.empty()) options.programFile = RunningProgramFile();
  if (options.tempFolder.empty()) options.tempFolder = SystemTempFolder();
  if (!options.clock) options.clock = SystemLocalTime;
  if (!options.ticks) options.ticks = &std::chrono::steady_clock::now;
  return options;
}

bool SameSecond(const LocalTime& a, const LocalTime& b) {
  return a.second == b.second && a.minute == b.minute && a.hour == b.hour && a.day == b.day &&
         a.month == b.month && a.year == b.year;
}

// As printf's "%0<width>d", without printf.
void AppendNumber(std::string& out, int value, int width) {
  if (value < 0) {
    char buf[24];
    const int n = std::snprintf(buf, sizeof buf, "%0*d", width, value);
    out.append(buf, static_cast<size_t>(n));
    return;
  }
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = n; i < width; ++i) out += '0';
  while (n > 0) out += digits[--n];
}

// "yyyy-mm-dd hh:nn:ss; "
std::string Stamp(const LocalTime& t) {
  std::string out;
  out.reserve(24);
  AppendNumber(out, t.year, 4);
  out += '-';
  AppendNumber(out, t.month, 2);
  out += '-';
  AppendNumber(out, t.day, 2);
  out += ' ';
  AppendNumber(out, t.hour, 2);
  out += ':';
  AppendNumber(out, t.minute, 2);
  out += ':';
  AppendNumber(out, t.second, 2);
  out += "; ";
  return out;
}

// "yyyy_mm_dd"
void AppendDateSuffix(std::string& out, const LocalTime& t) {
  AppendNumber(out, t.year, 4);
  out += '_';
  AppendNumber(out, t.month, 2);
  out += '_';
  AppendNumber(out, t.day, 2);
}

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string LogSubfolder(const std::string& parent) {
  return WithTrailingSlash(parent) + std::string(kLogFolderName) + "/";
}

std::string FolderOf(const std::string& file) {
  auto slash = file.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return file.substr(0, slash);
}

std::string NameOf(const std::string& file) {
  auto slash = file.find_last_of('/');
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

bool EnsureFolder(const std::string& folder) {
  std::error_code ec;
  // Strip the slash: some library versions report an error for "a/b/" even after creating it.
  std::filesystem::path path(folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder);
  std::filesystem::create_directories(path, ec);
  return std::filesystem::is_directory(path, ec);
}

}  // namespace

LogWriter::LogWriter() : LogWriter(Options{}) {}

LogWriter::LogWriter(Options options)
    : options_(WithDefaults(std::move(options))), programName_(NameOf(options_.programFile)) {}

LogWriter::~LogWriter() {
  std::lock_guard lock(mutex_);
  CloseLocked();
}

void LogWriter::Start() {
  std::lock_guard lock(mutex_);
  started_ = true;
}

bool LogWriter::Started() const {
  std::lock_guard lock(mutex_);
  return started_;
}

void LogWriter::SetFolder(std::string folder) {
  // Without the slash the files would land beside the folder, named after it.
  if (!folder.empty()) folder = WithTrailingSlash(std::move(folder));
  std::lock_guard lock(mutex_);
  folder_ = std::move(folder);
}

std::string LogWriter::Folder() const {
  std::lock_guard lock(mutex_);
  return folder_;
}

void LogWriter::Log(std::string_view text, std::string_view name) {
  WriteLine(text, name, nullptr);
}

void LogWriter::LogException(std::string_view text, const std::exception& e,
                             std::string_view name) {
  WriteLine(text, name, &e);
}

const std::string& LogWriter::FolderLocked() {
  if (folder_.empty()) {
    std::string folder = LogSubfolder(FolderOf(options_.programFile));
    if (!EnsureFolder(folder)) {
      folder = LogSubfolder(options_.tempFolder);
      EnsureFolder(folder);
    }
    folder_ = std::move(folder);
  }
  return folder_;
}

void LogWriter::CloseLocked() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  openPath_.clear();
}

void LogWriter::AppendLocked(const std::string& path, std::string_view data) {
  const auto now = options_.ticks();
  if (fd_ >= 0 && path != openPath_) CloseLocked();
  if (fd_ >= 0 && now - checkedAt_ >= kRecheckInterval) {
    // Moved away or deleted: the name no longer leads to the open file.
    checkedAt_ = now;
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0 || static_cast<uint64_t>(named.st_dev) != openDevice_ ||
        static_cast<uint64_t>(named.st_ino) != openInode_) {
      CloseLocked();
    }
  }
  if (fd_ < 0) {
    int fd;
    do {
      fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return;
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
      ::close(fd);
      return;
    }
    fd_ = fd;
    openPath_ = path;
    openDevice_ = static_cast<uint64_t>(opened.st_dev);
    openInode_ = static_cast<uint64_t>(opened.st_ino);
    checkedAt_ = now;
  }
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      CloseLocked();  // the next line starts over with a fresh open
      return;
    }
    done += static_cast<size_t>(n);
  }
}

void LogWriter::WriteLine(std::string_view text, std::string_view name, const std::exception* e) {
  try {
    std::lock_guard lock(mutex_);
    if (!started_) return;
    // One reading per line: the stamp and the file's date must agree around midnight.
    const LocalTime now = options_.clock();
    if (stamp_.empty() || !SameSecond(now, stampTime_)) {
      stamp_ = Stamp(now);
      stampTime_ = now;
    }
    std::string line;
    line.reserve(stamp_.size() + text.size() + 2);
    line += stamp_;
    line += text;
    if (e) {
      line += " Exception! ";
      line += ExceptionClassName(*e);
      line += ": ";
      line += e->what();
    }
    line += "\r\n";

    std::string file = FolderLocked();
    file += programName_;
    if (!e) {
      file += '.';
      AppendDateSuffix(file, now);
    }
    if (!name.empty()) {
      file += '.';
      file += name;
    }
    file += ".log";
    AppendLocked(file, line);
  } catch (...) {
    // A log line is never worth failing the caller over.
  }
}

LogWriter& ProcessLog() {
  static LogWriter* const kWriter = new LogWriter();
  return *kWriter;
}

void StartLog() {
  ProcessLog().Start();
}

void SetLogFolder(std::string folder) {
  ProcessLog().SetFolder(std::move(folder));
}

std::string LogFolder() {
  return ProcessLog().Folder();
}

void Log(std::string_view text, std::string_view name) {
  ProcessLog().Log(text, name);
}

void LogException(std::string_view text, const std::exception& e, std::string_view name) {
  ProcessLog().LogException(text, e, name);
}

}  // namespace vidoria
