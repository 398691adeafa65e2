#include "upnp/media_tree.h"

#include <unordered_map>

#include "library/table_layouts.h"
#include "platform/file_names.h"
#include "site/item_line.h"
#include "site/library_pages.h"
#include "site/names.h"
#include "site/playlist_pages.h"
#include "site/playlists_page.h"
#include "upnp/object_ids.h"

namespace vidoria {

namespace {

constexpr std::string_view kRootId = "0";
constexpr std::string_view kLibraryId = "library";
constexpr std::string_view kPlaylistsId = "playlists";

// The items of library rows, each made once however many containers list it, and every file
// asked about once.
class ItemMaker {
 public:
  ItemMaker(const Table& libraryTable, const FileSizeCheck& sizeOf)
      : table_(libraryTable), byName_(libraryTable), sizeOf_(sizeOf) {}

  const LibraryByName& ByName() const { return byName_; }
  bool Exists(const std::string& path) { return SizeOf(path).has_value(); }

  const MediaItem& ItemOf(int row) {
    auto [at, fresh] = items_.try_emplace(row);
    if (!fresh) return at->second;
    MediaItem& item = at->second;
    const std::string& name = table_.Cell(LibraryColumn::kName, row);
    item.title = std::string(ItemTitle(name));
    item.videoHref = VideoHref(name);
    // The server sends the file of the last row with this name, whichever row the page listed.
    const auto rows = byName_.rows.Rows(name);
    const std::string folder =
        rows.empty() ? std::string() : FolderOf(table_.Cell(LibraryColumn::kPath, rows.back()));
    item.size = SizeOf(folder + name).value_or(-1);
    if (!rows.empty()) item.path = folder + name;
    // The picture lookup's own order; its last resort, the blank picture, is no cover.
    const std::string picture = CoverPictureName(name);
    if (!picture.empty() && !folder.empty() &&
        (Exists(folder + picture) || Exists(folder + "cover.jpg") ||
         Exists(folder + "folder.jpg"))) {
      item.coverHref = CoverHref(name);
    }
    if (const std::string subtitles = SubtitlesName(name);
        !subtitles.empty() && !folder.empty() && Exists(folder + subtitles)) {
      item.subtitlesHref = SubtitlesHref(name);
    }
    return item;
  }

 private:
  std::optional<int64_t> SizeOf(const std::string& path) {
    auto [at, fresh] = sizes_.try_emplace(path);
    if (fresh) at->second = sizeOf_(path);
    return at->second;
  }

  const Table& table_;
  LibraryByName byName_;
  const FileSizeCheck& sizeOf_;
  std::unordered_map<int, MediaItem> items_;
  std::unordered_map<std::string, std::optional<int64_t>> sizes_;
};

}  // namespace

MediaTree::MediaTree() {
  Add(std::string(kRootId), "-1", "Vidoria").containers = {std::string(kLibraryId),
                                                           std::string(kPlaylistsId)};
  MediaContainer& library = Add(std::string(kLibraryId), std::string(kRootId), "Library");
  library.containers = {"library/all", "library/movies", "library/tvshows"};
  Add("library/all", std::string(kLibraryId), "Entire collection");
  Add("library/movies", std::string(kLibraryId), "Movies");
  Add("library/tvshows", std::string(kLibraryId), "TV Shows");
  Add(std::string(kPlaylistsId), std::string(kRootId), "Playlists");
  Seal();
}

MediaTree::MediaTree(const Table& libraryTable, const Table& playlistTable,
                     const FileSizeCheck& sizeOf)
    : MediaTree() {
  ItemMaker maker(libraryTable, sizeOf);
  auto exists = [&maker](const std::string& path) { return maker.Exists(path); };
  auto& all = containers_.find("library/all")->second;
  auto& movies = containers_.find("library/movies")->second;
  auto& tvShows = containers_.find("library/tvshows")->second;
  for (int row : ListedLibraryRows(libraryTable, exists)) {
    const MediaItem& item = maker.ItemOf(row);
    all.items.push_back(item);
    const std::string& className = libraryTable.Cell(LibraryColumn::kClass, row);
    if (className == "MOVIE") movies.items.push_back(item);
    if (className == "TV") tvShows.items.push_back(item);
  }

  UniqueKeys playlistKeys;
  for (int row = 0; row < playlistTable.RowCount(); ++row) {
    if (!ListedOnPlaylistsPage(playlistTable, row)) continue;
    std::vector<MediaItem> items;
    for (int libraryRow : PlaylistRows(playlistTable, row, maker.ByName())) {
      if (exists(libraryTable.Cell(LibraryColumn::kPath, libraryRow))) {
        items.push_back(maker.ItemOf(libraryRow));
      }
    }
    // A playlist with nothing to play would only be an empty folder on the TV.
    if (items.empty()) continue;
    const std::string& name = playlistTable.Cell(PlaylistColumn::kName, row);
    std::string id = std::string(kPlaylistsId) + "/" + playlistKeys.Next(name);
    containers_.find(kPlaylistsId)->second.containers.push_back(id);
    Add(std::move(id), std::string(kPlaylistsId), name).items = std::move(items);
  }
  Seal();
}

void MediaTree::Seal() {
  uint64_t print = StableHash("");
  const auto mix = [&print](std::string_view text) {
    // The length first, so that no two sequences of texts mix to the same bytes.
    print = StableHash(std::to_string(text.size()) + ":", print);
    print = StableHash(text, print);
  };
  for (auto& [id, container] : containers_) {
    UniqueKeys keys;
    container.itemByKey.clear();
    for (size_t i = 0; i < container.items.size(); ++i) {
      MediaItem& item = container.items[i];
      item.key = keys.Next(item.path.empty() ? item.videoHref : item.path);
      container.itemByKey.emplace(item.key, i);
    }
    mix(id);
    mix(container.parentId);
    mix(container.title);
    for (const std::string& child : container.containers) mix(child);
    for (const MediaItem& item : container.items) {
      for (const std::string* text :
           {&item.key, &item.title, &item.videoHref, &item.coverHref, &item.subtitlesHref}) {
        mix(*text);
      }
      mix(std::to_string(item.size));
    }
  }
  fingerprint_ = print;
}

MediaContainer& MediaTree::Add(std::string id, std::string parentId, std::string title) {
  MediaContainer container{id, std::move(parentId), std::move(title), {}, {}};
  return containers_.insert_or_assign(std::move(id), std::move(container)).first->second;
}

const MediaContainer* MediaTree::Container(std::string_view id) const {
  const auto at = containers_.find(id);
  return at == containers_.end() ? nullptr : &at->second;
}

std::optional<MediaTree::FoundItem> MediaTree::Item(std::string_view id) const {
  const size_t slash = id.rfind('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const MediaContainer* container = Container(id.substr(0, slash));
  if (!container) return std::nullopt;
  const auto at = container->itemByKey.find(std::string(id.substr(slash + 1)));
  if (at == container->itemByKey.end()) return std::nullopt;
  return FoundItem{container, at->second};
}

std::string MediaTree::ItemId(const MediaContainer& container, size_t index) {
  return container.id + "/" + container.items.at(index).key;
}

}  // namespace vidoria
