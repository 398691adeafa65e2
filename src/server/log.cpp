#include "server/log.h"

#include <fcntl.h>
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
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm t{};
  ::localtime_r(&now, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

LogWriter::Options WithDefaults(LogWriter::Options options) {
  if (options.programFile.empty()) options.programFile = RunningProgramFile();
  if (options.tempFolder.empty()) options.tempFolder = SystemTempFolder();
  if (!options.clock) options.clock = SystemLocalTime;
  return options;
}

std::string Stamp(const LocalTime& t) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d; ", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

std::string DateSuffix(const LocalTime& t) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d_%02d_%02d", t.year, t.month, t.day);
  return buf;
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

// Opened and closed per line so that other programs can read or rotate the file at any time.
void AppendToFile(const std::string& path, std::string_view data) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return;
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace

LogWriter::LogWriter() : LogWriter(Options{}) {}

LogWriter::LogWriter(Options options) : options_(WithDefaults(std::move(options))) {}

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

std::string LogWriter::FolderLocked() {
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

void LogWriter::WriteLine(std::string_view text, std::string_view name, const std::exception* e) {
  try {
    std::lock_guard lock(mutex_);
    if (!started_) return;
    // One reading per line: the stamp and the file's date must agree around midnight.
    const LocalTime now = options_.clock();
    std::string line = Stamp(now);
    line += text;
    if (e) {
      line += " Exception! ";
      line += ExceptionClassName(*e);
      line += ": ";
      line += e->what();
    }
    line += "\r\n";

    std::string file = FolderLocked() + NameOf(options_.programFile);
    if (!e) file += "." + DateSuffix(now);
    if (!name.empty()) {
      file += '.';
      file += name;
    }
    file += ".log";
    AppendToFile(file, line);
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
