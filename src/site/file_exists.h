// Whether a library row's media file is there, asked while pages are generated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vidoria {

// True when `path` names an existing file. Generators take it as a parameter so that tests and
// benchmarks decide which files exist; the program passes an ExistingFiles of the generation.
using FileExists = std::function<bool(const std::string& path)>;

// The real check: something that is not a folder exists at `path` (links are followed).
bool ExistingFile(const std::string& path);

// ExistingFile for the many rows of one generation: the same answers, but a folder asked about
// often enough is read once (one listing, kept for this object's life) and its files' names are
// looked up in it instead of one stat(2) per row. "Often enough" weighs the rows asked so far
// against the folder's size: a few rows of a large folder cost less as stats than as its
// listing, so a folder is read once its rows have cost about what reading it would (at most
// twice the cheaper of the two ways, whatever the share of the folder the library names).
//
// Where the listing cannot say for sure, the row is stat'ed as ExistingFile does: a folder that
// cannot be listed or searched, a name not in it (a folder on a file system that ignores case
// may still find it), a link, an entry of unknown type, and paths without a folder. A file
// created or removed after its folder was read is seen as it was then; make one per generation
// so that this is moments. Not thread-safe: one generating thread uses it. Pass it to the
// generators as std::ref(existing).
class ExistingFiles {
 public:
  // Rows of any folder answered by stat(2) before its size is looked at.
  static constexpr int kStatsBeforeListing = 8;
  // Bytes of a folder's size (st_size) whose reading costs about one stat(2): on ext4 a name of
  // 20 to 30 bytes takes some 37 bytes and is read in a quarter of a microsecond, a stat of a
  // file takes about two.
  static constexpr int64_t kFolderBytesPerStat = 256;

  ExistingFiles();
  ~ExistingFiles();
  ExistingFiles(const ExistingFiles&) = delete;
  ExistingFiles& operator=(const ExistingFiles&) = delete;

  bool operator()(const std::string& path);

  // How many folders were read, for tests.
  size_t FoldersListed() const { return listed_; }

 private:
  struct Folder;
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  Folder& FolderOf(std::string_view folder);

  std::unordered_map<std::string, std::unique_ptr<Folder>, Hash, std::equal_to<>> folders_;
  // The folder of the previous row: rows of one folder usually come one after the other.
  std::string lastFolderName_;
  Folder* lastFolder_ = nullptr;
  size_t listed_ = 0;
};

}  // namespace vidoria
