#include "platform/lock_holder.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <charconv>
#include <vector>

#include "platform/file_bytes.h"
#include "platform/folder_lock.h"

namespace vidoria {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  for (size_t at = 0; at < line.size();) {
    const size_t start = line.find_first_not_of(" \t", at);
    if (start == std::string_view::npos) break;
    const size_t end = std::min(line.find_first_of(" \t", start), line.size());
    words.push_back(line.substr(start, end - start));
    at = end;
  }
  return words;
}

template <typename Number>
bool Parse(std::string_view text, Number& value, int base = 10) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size();
}

// "fe:00:10952705": the major and minor number in hex, the inode in decimal.
bool SameFile(std::string_view field, dev_t device, ino_t inode) {
  const size_t first = field.find(':');
  const size_t second = field.find(':', first + 1);
  if (first == std::string_view::npos || second == std::string_view::npos) return false;
  unsigned major = 0, minor = 0;
  unsigned long long number = 0;
  return Parse(field.substr(0, first), major, 16) &&
         Parse(field.substr(first + 1, second - first - 1), minor, 16) &&
         Parse(field.substr(second + 1), number) && makedev(major, minor) == device &&
         number == inode;
}

}  // namespace

std::optional<pid_t> FlockHolder(std::string_view procLocks, dev_t device, ino_t inode) {
  // "1: FLOCK  ADVISORY  WRITE 17396 fe:00:10952705 0 EOF"; a waiter has "->" after the number.
  for (size_t at = 0; at < procLocks.size();) {
    const size_t end = std::min(procLocks.find('\n', at), procLocks.size());
    const std::vector<std::string_view> words = Words(procLocks.substr(at, end - at));
    at = end + 1;
    // A look (FolderLockHeld) holds a shared lock for a moment; the holder's is exclusive.
    if (words.size() < 6 || words[1] != "FLOCK" || words[3] != "WRITE") continue;
    pid_t pid = 0;
    if (Parse(words[4], pid) && pid > 0 && SameFile(words[5], device, inode)) return pid;
  }
  return std::nullopt;
}

std::string FolderLockHolderName(const std::string& folder) {
  struct stat info {};
  if (::stat((folder + std::string(kFolderLockFileName)).c_str(), &info) != 0) return "";
  const auto locks = ReadFileBytes("/proc/locks");
  if (!locks) return "";
  const auto pid = FlockHolder(*locks, info.st_dev, info.st_ino);
  if (!pid) return "";
  auto name = ReadFileBytes("/proc/" + std::to_string(*pid) + "/comm");
  if (!name) return "";
  if (name->ends_with('\n')) name->pop_back();
  return *name;
}

}  // namespace vidoria
