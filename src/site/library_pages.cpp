#include "site/library_pages.h"

#include <string_view>
#include <vector>

#include "site/item_line.h"
#include "site/list_files.h"
#include "site/markup.h"
#include "site/name_join.h"

namespace vidoria {

namespace {

constexpr int kClassColumn = 0;
constexpr int kPathColumn = 1;
constexpr int kNameColumn = 2;

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

LibraryPages LibraryPagesOf(const Table& myGrid, const Table& playlists, const FileExists& exists) {
  std::vector<std::string_view> names;
  for (int row = 0; row < myGrid.RowCount(); ++row) {
    if (exists(myGrid.Cell(kPathColumn, row))) names.push_back(myGrid.Cell(kNameColumn, row));
  }
  SortNames(names);
  const std::vector<int> listed = JoinNames(names, RowsByName(myGrid, kNameColumn));

  LibraryPages out;
  out.listList = ListOfLists(playlists);
  out.library = PageStart("Entire collection");
  out.movies = PageStart("Movie collection");
  out.tvShows = PageStart("TV Show collection");
  for (int row : listed) {
    const std::string& className = myGrid.Cell(kClassColumn, row);
    const std::string& name = myGrid.Cell(kNameColumn, row);
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

void GenerateLibrary(const Table& myGrid, const Table& playlists, const FileExists& exists,
                     PageBuffers& pages) {
  LibraryPages out = LibraryPagesOf(myGrid, playlists, exists);
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
