// Where a TV stopped each video (Samsung's X_SetBookmark), so that it offers to go on from there,
// also after the program restarts. Kept by the video's file path in bookmarks.kavra in the data
// folder: one line per video, "<seconds> <path>", CR LF line ends, written atomically at each
// change; a line that does not read so is left out. At most kMaxBookmarks videos (the oldest
// bookmark goes first).
//
// Thread-safe: one lock guards the marks and the file's writing (any request thread may set
// one while another lists).
#pragma once

#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vidoria {

inline constexpr std::string_view kBookmarksFileName = "bookmarks.kavra";

class Bookmarks {
 public:
  static constexpr size_t kMaxBookmarks = 10000;

  // Reads the file at `path` ("" keeps the bookmarks in memory only).
  explicit Bookmarks(std::string path);

  // Seconds into the video; 0 forgets it. Returns why the file could not be written, or nullopt.
  std::optional<std::string> Set(const std::string& videoPath, uint32_t seconds);
  // 0 when there is none.
  uint32_t Get(const std::string& videoPath) const;

 private:
  const std::string path_;
  mutable std::mutex lock_;       // guards order_, marks_ and the file
  std::list<std::string> order_;  // videos, oldest bookmark first
  struct Mark {
    uint32_t seconds = 0;
    std::list<std::string>::iterator place;
  };
  std::unordered_map<std::string, Mark> marks_;
};

}  // namespace vidoria
