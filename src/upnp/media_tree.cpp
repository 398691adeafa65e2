#include "upnp/media_tree.h"

#include <charconv>
#include <unordered_map>

#include "library/table_layouts.h"
#include "platform/file_names.h"
#include "site/item_line.h"
#include "site/library_pages.h"
#include "site/names.h"
#include "site/playlist_pages.h"
#include "site/playlists_page.h"

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
    // The picture lookup's own order; its last resort, the blank picture, is no cover.
    const std::string picture = CoverPictureName(name);
    if (!picture.empty() && !folder.empty() &&
        (Exists(folder + picture) || Exists(folder + "cover.jpg") ||
         Exists(folder + "folder.jpg"))) {
      item.coverHref = CoverHref(name);
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
    std::string id = std::string(kPlaylistsId) + "/" + std::to_string(row);
    containers_.find(kPlaylistsId)->second.containers.push_back(id);
    Add(std::move(id), std::string(kPlaylistsId), playlistTable.Cell(PlaylistColumn::kName, row))
        .items = std::move(items);
  }
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
  const std::string_view place = id.substr(slash + 1);
  // Digits only, no sign, no leading zero: one id per item.
  if (place.empty() || (place.size() > 1 && place[0] == '0')) return std::nullopt;
  size_t index = 0;
  const auto [end, error] = std::from_chars(place.data(), place.data() + place.size(), index);
  if (error != std::errc() || end != place.data() + place.size()) return std::nullopt;
  const MediaContainer* container = Container(id.substr(0, slash));
  if (!container || index >= container->items.size()) return std::nullopt;
  return FoundItem{container, index};
}

std::string MediaTree::ItemId(const MediaContainer& container, size_t index) {
  return container.id + "/" + std::to_string(index);
}

}  // namespace vidoria
