// The collection pages and list files of the whole library.
#pragma once

#include <string>
#include <vector>

#include "library/table.h"
#include "site/file_exists.h"
#include "site/page_buffers.h"

namespace vidoria {

// Everything one library generation produces, named after the buffers it goes into.
struct LibraryPages {
  std::string library;      // page::kLibrary: every listed row
  std::string movies;       // page::kMovies: the rows of class "MOVIE"
  std::string tvShows;      // page::kTvShows: the rows of class "TV"
  std::string music;        // page::kMusic: no class is music, so always empty
  std::string libraryList;  // page::kLibraryList: "/library*" + file name per listed row
  std::string moviesList;   // page::kMoviesList: "/movies*" + file name per row on `movies`
  std::string tvShowsList;  // page::kTvShowsList: "/tvshows*" + file name per row on `tvShows`
  std::string musicList;    // page::kMusicList: always empty
  std::string listList;     // page::kListList: ListOfLists(playlists)
};

// The rows the collection pages list, in their order: for each entry of the sorted name list (the
// file name of every row whose full path names an existing file), the rows with exactly that file
// name in table order (a row whose file is missing is thus listed through a present row of the
// same name). Calls `exists` once per row.
std::vector<int> ListedLibraryRows(const Table& libraryTable, const FileExists& exists);

// `libraryTable` is the library table (class, full path, file name, ...). The sorted name list
// holds the file name of every row whose full path names an existing file; the listed rows are, for
// each of its entries in order, the rows with exactly that file name in table order (a row whose
// file is missing is thus listed through a present row of the same name). Each page is header
// block, title box, one ItemLine per listed row, Back box, footer block. No effects beyond
// calling `exists` once per row.
LibraryPages LibraryPagesOf(const Table& libraryTable, const Table& playlistTable,
                            const FileExists& exists);

// Stores LibraryPagesOf into the nine buffers, the list files and the list of lists first, then
// the pages in the order entire collection, movies, TV shows. Main thread. Status texts, saving
// the library and refreshing the library view are the caller's part.
void GenerateLibrary(const Table& libraryTable, const Table& playlistTable,
                     const FileExists& exists, PageBuffers& pages);

}  // namespace vidoria
