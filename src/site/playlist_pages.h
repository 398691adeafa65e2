// One playlist's page and list file.
//
// The playlists table holds one playlist per row: column 0 its name, column 1 its page (filled
// here while the program runs), columns 2 onward its items, each a library file name, blank cells
// allowed anywhere. A playlist's list file lives in column 3 of the same row of `playlists2`.
#pragma once

#include <string>

#include "library/table.h"
#include "site/file_exists.h"
#include "site/name_join.h"
#include "site/page_buffers.h"

namespace vidoria {

// The library table and its rows ordered by file name (column 2), built once for generating many
// playlists. Refers to `myGrid`: valid while it lives unchanged.
struct LibraryByName {
  explicit LibraryByName(const Table& myGrid) : myGrid(myGrid), rows(myGrid, 2) {}
  const Table& myGrid;
  RowsByName rows;
};

struct PlaylistPage {
  std::string page;      // header block, title box, item lines, Back box, footer block
  std::string listFile;  // "/" + name + "*" + file name per line
};

// The page and list file of the playlist in `row`. The sorted name list holds every non-empty
// item cell of the row (cells of blanks too; duplicates kept); for each entry in order and each
// library row with exactly that file name in table order, the list file gets a line and the page
// gets an ItemLine when the row's full path names an existing file. The title box reads
// Home - Playlists - name. A row outside the table gives the page of an empty playlist with an
// empty name. No effects beyond calling `exists`.
PlaylistPage PlaylistPageOf(const Table& playlists, int row, const LibraryByName& library,
                            const FileExists& exists);

// Stores PlaylistPageOf into column 1 of the row and column 3 of the same row of `playlists2`,
// after giving `playlists2` the row count of `playlists` (new rows empty, at least 4 columns), and
// the list of lists into page::kListList. A playlist's list file always goes into its own row,
// also when its name is "library", "movies", "music" or "tvshows" or when other playlists share
// its name. A row outside the table changes nothing but `playlists2`'s shape and the list of
// lists. Main thread; status texts are the caller's part.
void GeneratePlayList(int row, Table& playlists, Table& playlists2, const LibraryByName& library,
                      const FileExists& exists, PageBuffers& pages);
// The same, ordering the library first (O(n log n) in its rows).
void GeneratePlayList(int row, Table& playlists, Table& playlists2, const Table& myGrid,
                      const FileExists& exists, PageBuffers& pages);
// GeneratePlayList for every row in order, the library ordered once.
void GenerateEveryPlayList(Table& playlists, Table& playlists2, const Table& myGrid,
                           const FileExists& exists, PageBuffers& pages);

}  // namespace vidoria
