// File extensions to MIME types, as configured in the window's content-type field.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vidoria {

// The lines the content-type field starts with: "extensions = type", the last "* =".
const std::vector<std::string>& DefaultContentTypeLines();

// Keys are ".EXT" in upper case, or "*" for the default; the first entry for a key wins.
// Filled while the server is stopped, read without a lock while it listens.
class ContentTypes {
 public:
  void Clear() { entries_.clear(); }
  // "mp4,m4v = video/mp4": every listed extension gets the type; a line without '=' adds nothing.
  void Add(std::string_view line);
  // The type for the name's extension, else the "*" type, else "".
  std::string For(std::string_view fileName) const;

 private:
  const std::string* Find(std::string_view key) const;
  std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace vidoria
