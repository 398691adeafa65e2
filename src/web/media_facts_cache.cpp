#include "web/media_facts_cache.h"

#include <sys/stat.h>

namespace vidoria {

namespace {

// The file's size and time; false when there is no such file.
bool Stat(const std::string& path, off_t& size, timespec& modified) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  size = st.st_size;
  modified = st.st_mtim;
  return true;
}

}  // namespace

bool MediaFactsCache::Current(const Entry& entry, const std::string& path, Entry* now) {
  Entry seen;
  if (!Stat(path, seen.size, seen.modified)) return false;
  if (now) *now = seen;
  return entry.size == seen.size && entry.modified.tv_sec == seen.modified.tv_sec &&
         entry.modified.tv_nsec == seen.modified.tv_nsec;
}

MediaFactsCache::Facts MediaFactsCache::Read(const std::string& path) {
  Entry now;
  {
    std::lock_guard guard(lock_);
    const auto at = entries_.find(path);
    if (at != entries_.end() && Current(at->second, path, &now)) return at->second.facts;
  }
  if (now.size < 0 && !Stat(path, now.size, now.modified)) return nullptr;
  if (auto facts = mp4::ReadMediaFacts(path)) {
    now.facts = std::make_shared<const mp4::MediaFacts>(*facts);
  }
  std::lock_guard guard(lock_);
  if (entries_.size() >= kMaxFiles) entries_.clear();
  entries_[path] = now;
  return now.facts;
}

MediaFactsCache::Facts MediaFactsCache::Known(const std::string& path) const {
  std::lock_guard guard(lock_);
  const auto at = entries_.find(path);
  if (at == entries_.end() || !Current(at->second, path, nullptr)) return nullptr;
  return at->second.facts;
}

}  // namespace vidoria
