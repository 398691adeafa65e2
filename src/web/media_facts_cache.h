// The facts of each video (mp4/media_facts.h), read once per file and kept while the file's size
// and modification time stay, so that neither browsing nor a TV's request reads a movie box twice.
// The media server fills it as it lists videos; the web server only looks up what is known and
// never reads a file for a request.
//
// Thread-safe: every member takes the cache's own mutex; a file is read outside it.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "mp4/media_facts.h"

namespace vidoria {

class MediaFactsCache {
 public:
  using Facts = std::shared_ptr<const mp4::MediaFacts>;

  // The file's facts, read now unless known for its current size and time; null when the file
  // is missing or no MP4 file.
  Facts Read(const std::string& path);
  // Only what is known for the file as it is now; never reads the file. Null when unknown.
  Facts Known(const std::string& path) const;

  // More files than this and the cache starts over: it follows the library, which only grows by
  // a user's scans.
  static constexpr size_t kMaxFiles = 200000;

 private:
  struct Entry {
    off_t size = -1;
    timespec modified{};
    Facts facts;
  };
  static bool Current(const Entry& entry, const std::string& path, Entry* now);

  mutable std::mutex lock_;
  std::unordered_map<std::string, Entry> entries_;  // guarded by lock_
};

}  // namespace vidoria
