// One playlist's page and list file.
//
// The playlist table holds one playlist per row: its name, its page (filled here while the
// program runs) and its item slots, each a library file name, blank slots allowed anywhere. A
// playlist's list file lives in the same row of the playlist list-file table. The columns are in
// library/table_layouts.h.
#pragma once

#include <string>
#include <vector>

#include "library/table.h"
#include "library/table_layouts.h"
#include "site/file_exists.h"
#include "site/name_join.h"
#include "site/page_buffers.h"

namespace vidoria {

// The library table and its rows ordered by file name, built once for generating many playlists.
// Refers to the table: valid while it lives unchanged.
struct LibraryByName {
  explicit LibraryByName(const Table& table) : table(table), rows(table, LibraryColumn::kName) {}
  const Table& table;
  RowsByName rows;
};

// The library rows of the playlist in `row`, in the order of its list file: for each entry of the
// sorted name list of its non-empty item cells (duplicates kept), the library rows with exactly
// that file name in table order. Its page lists those of them whose full path names an existing
// file. Empty for a row outside the table.
std::vector<int> PlaylistRows(const Table& playlistTable, int row, const LibraryByName& library);

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
PlaylistPage PlaylistPageOf(const Table& playlistTable, int row, const LibraryByName& library,
                            const FileExists& exists);

// Stores PlaylistPageOf into the page cell of the row and the list-file cell of the same row of
// `listFileTable`, after giving `listFileTable` the row count of `playlistTable` (new rows empty,
// at least ListFileColumn::kCount columns), and
// the list of lists into page::kListList. A playlist's list file always goes into its own row,
// also when its name is "library", "movies", "music" or "tvshows" or when other playlists share
// its name. A row outside the table changes nothing but `listFileTable`'s shape and the list of
// lists. Main thread; status texts are the caller's part.
void GeneratePlayList(int row, Table& playlistTable, Table& listFileTable,
                      const LibraryByName& library, const FileExists& exists, PageBuffers& pages);
// The same, ordering the library first (O(n log n) in its rows).
void GeneratePlayList(int row, Table& playlistTable, Table& listFileTable,
                      const Table& libraryTable, const FileExists& exists, PageBuffers& pages);
// GeneratePlayList for every row in order, the library ordered once.
void GenerateEveryPlayList(Table& playlistTable, Table& listFileTable, const Table& libraryTable,
                           const FileExists& exists, PageBuffers& pages);

}  // namespace vidoria
