#include "site/library_pages.h"

#include <string_view>
#include <vector>

#include "library/table_layouts.h"
#include "site/item_line.h"
#include "site/list_files.h"
#include "site/markup.h"
#include "site/name_join.h"

namespace vidoria {

namespace {

// The page up to its entries, with room for `itemBytes` of entries and the closing blocks.
std::string PageStart(std::string_view collection, size_t itemBytes) {
  const std::string title =
      TitleBox("<a href=\"/\">Home</a> - <a href=\"/library.html\">Library</a> - " +
               std::string(collection));
  std::string page;
  page.reserve(HeaderBlock().size() + title.size() + itemBytes + BackBox().size() +
               FooterBlock().size());
  page += HeaderBlock();
  page += title;
  return page;
}

void ClosePage(std::string& page) {
  page += BackBox();
  page += FooterBlock();
}

}  // namespace

std::vector<int> ListedLibraryRows(const Table& libraryTable, const FileExists& exists) {
  std::vector<std::string_view> names;
  for (int row = 0; row < libraryTable.RowCount(); ++row) {
    if (exists(libraryTable.Cell(LibraryColumn::kPath, row)))
      names.push_back(libraryTable.Cell(LibraryColumn::kName, row));
  }
  SortNames(names);
  return JoinNames(names, RowsByName(libraryTable, LibraryColumn::kName));
}

LibraryPages LibraryPagesOf(const Table& libraryTable, const Table& playlistTable,
                            const FileExists& exists) {
  const std::vector<int> listed = ListedLibraryRows(libraryTable, exists);

  const std::string libraryPrefix = ListLinePrefix("library");
  const std::string moviesPrefix = ListLinePrefix("movies");
  const std::string tvShowsPrefix = ListLinePrefix("tvshows");
  auto isMovie = [](std::string_view className) { return className == "MOVIE"; };
  auto isTvShow = [](std::string_view className) { return className == "TV"; };

  // Every text is measured first and allocated once: at 100,000 rows the pages are tens of
  // megabytes, and growing them step by step would copy and fault in most of that again.
  TextSize items, movieItems, tvShowItems, libraryList, moviesList, tvShowsList;
  for (int row : listed) {
    const std::string& className = libraryTable.Cell(LibraryColumn::kClass, row);
    const std::string& name = libraryTable.Cell(LibraryColumn::kName, row);
    TextSize line;
    AppendItemLine(line, className, name);
    items.bytes += line.bytes;
    AppendListLine(libraryList, libraryPrefix, name);
    if (isMovie(className)) {
      movieItems.bytes += line.bytes;
      AppendListLine(moviesList, moviesPrefix, name);
    } else if (isTvShow(className)) {
      tvShowItems.bytes += line.bytes;
      AppendListLine(tvShowsList, tvShowsPrefix, name);
    }
  }

  LibraryPages out;
  out.listList = ListOfLists(playlistTable);
  out.library = PageStart("Entire collection", items.bytes);
  out.movies = PageStart("Movie collection", movieItems.bytes);
  out.tvShows = PageStart("TV Show collection", tvShowItems.bytes);
  out.libraryList.reserve(libraryList.bytes);
  out.moviesList.reserve(moviesList.bytes);
  out.tvShowsList.reserve(tvShowsList.bytes);
  for (int row : listed) {
    const std::string& className = libraryTable.Cell(LibraryColumn::kClass, row);
    const std::string& name = libraryTable.Cell(LibraryColumn::kName, row);
    // Each line is written once, into the entire collection, and copied to its class's page.
    const size_t lineStart = out.library.size();
    AppendItemLine(out.library, className, name);
    const size_t lineSize = out.library.size() - lineStart;
    AppendListLine(out.libraryList, libraryPrefix, name);
    if (isMovie(className)) {
      out.movies.append(out.library, lineStart, lineSize);
      AppendListLine(out.moviesList, moviesPrefix, name);
    } else if (isTvShow(className)) {
      out.tvShows.append(out.library, lineStart, lineSize);
      AppendListLine(out.tvShowsList, tvShowsPrefix, name);
    }
  }
  ClosePage(out.library);
  ClosePage(out.movies);
  ClosePage(out.tvShows);
  return out;
}

void GenerateLibrary(const Table& libraryTable, const Table& playlistTable,
                     const FileExists& exists, PageBuffers& pages) {
  LibraryPages out = LibraryPagesOf(libraryTable, playlistTable, exists);
  pages.Set(page::kLibraryList, std::move(out.libraryList));
  pages.Set(page::kMoviesList, std::move(out.moviesList));
  pages.Set(page::kTvShowsList, std::move(out.tvShowsList));
  pages.Set(page::kMusicList, std::move(out.musicList));
  pages.Set(page::kListList, std::move(out.listList));
  pages.Set(page::kLibrary, std::move(out.library));
  pages.Set(page::kMovies, std::move(out.movies));
  pages.Set(page::kTvShows, std::move(out.tvShows));
  pages.Set(page::kMusic, std::move(out.music));
}

}  // namespace vidoria
