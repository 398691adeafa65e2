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

std::string PageStart(std::string_view collection) {
  std::string page = HeaderBlock();
  page += TitleBox("<a href=\"/\">Home</a> - <a href=\"/library.html\">Library</a> - " +
                   std::string(collection));
  return page;
}

void ClosePage(std::string& page) {
  page += BackBox();
  page += FooterBlock();
}

}  // namespace

LibraryPages LibraryPagesOf(const Table& libraryTable, const Table& playlistTable,
                            const FileExists& exists) {
  std::vector<std::string_view> names;
  for (int row = 0; row < libraryTable.RowCount(); ++row) {
    if (exists(libraryTable.Cell(LibraryColumn::kPath, row)))
      names.push_back(libraryTable.Cell(LibraryColumn::kName, row));
  }
  SortNames(names);
  const std::vector<int> listed = JoinNames(names, RowsByName(libraryTable, LibraryColumn::kName));

  LibraryPages out;
  out.listList = ListOfLists(playlistTable);
  out.library = PageStart("Entire collection");
  out.movies = PageStart("Movie collection");
  out.tvShows = PageStart("TV Show collection");
  for (int row : listed) {
    const std::string& className = libraryTable.Cell(LibraryColumn::kClass, row);
    const std::string& name = libraryTable.Cell(LibraryColumn::kName, row);
    const std::string line = ItemLine(className, name);
    out.library += line;
    out.libraryList += ListLine("library", name);
    if (className == "MOVIE") {
      out.movies += line;
      out.moviesList += ListLine("movies", name);
    } else if (className == "TV") {
      out.tvShows += line;
      out.tvShowsList += ListLine("tvshows", name);
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
