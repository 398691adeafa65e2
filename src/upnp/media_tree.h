// What a TV browsing the library sees: the phone site's collections and playlists as a tree of
// containers and video items. Pure: built from the tables and a file-size check (which also finds
// the covers and subtitles beside the videos), no network.
//
// The tree:
//   "0"                     root
//   "library"               Library
//     "library/all"         Entire collection   (the rows the collection page lists)
//     "library/movies"      Movies              (of those, class "MOVIE")
//     "library/tvshows"     TV Shows            (of those, class "TV")
//   "playlists"             Playlists
//     "playlists/<key>"     each playlist the playlists page lists that has an item to show,
//                           titled by its name, holding the items its page lists
// An item's id is its container's id + "/" + a key of the file the server sends for it (a hash
// of its path, upnp/object_ids.h); a playlist's key is a hash of its name. So ids stay when
// files are added, removed or reordered. Two entries of one file in a container stay two
// objects, as the pages show them twice: the later ones get "-2", "-3", ... after the key.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "library/table.h"

namespace vidoria {

// The size of the regular file at `path` (links followed), nullopt when there is none.
using FileSizeCheck = std::function<std::optional<int64_t>(const std::string& path)>;

struct MediaItem {
  std::string title;          // the phone page's link text
  std::string videoHref;      // the phone page's link: "/" + encoded file name
  std::string coverHref;      // "" when no picture would be found for it but the blank one
  std::string subtitlesHref;  // "" when there is no "Name.srt" beside the file
  int64_t size = 0;           // of the file the server sends for videoHref
  std::string path;           // that file; "" when there is none
  std::string key;            // unique within its container
};

struct MediaContainer {
  std::string id;
  std::string parentId;  // "-1" for the root
  std::string title;
  std::vector<std::string> containers;  // ids of the containers inside, in order
  std::vector<MediaItem> items;         // after the containers
  std::unordered_map<std::string, size_t> itemByKey;
  size_t ChildCount() const { return containers.size() + items.size(); }
};

class MediaTree {
 public:
  // `libraryTable` and `playlistTable` as the engine publishes them. Asks `sizeOf` about each
  // library row's file, and about the pictures beside the listed ones.
  MediaTree(const Table& libraryTable, const Table& playlistTable, const FileSizeCheck& sizeOf);
  // A tree with the empty containers only.
  MediaTree();

  const MediaContainer* Container(std::string_view id) const;
  // An item by its id, with the container holding it; nullptr for an unknown id.
  struct FoundItem {
    const MediaContainer* container;
    size_t index;
  };
  std::optional<FoundItem> Item(std::string_view id) const;
  static std::string ItemId(const MediaContainer& container, size_t index);

  // Changes whenever anything a TV is shown changes (a container, an item, its title, link,
  // size or cover), and only then: trees built from the same tables and files have the same.
  uint64_t Fingerprint() const { return fingerprint_; }

 private:
  MediaContainer& Add(std::string id, std::string parentId, std::string title);
  void Seal();
  std::map<std::string, MediaContainer, std::less<>> containers_;
  uint64_t fingerprint_ = 0;
};

}  // namespace vidoria
