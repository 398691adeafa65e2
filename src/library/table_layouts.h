// The column layouts of the stored tables. Every table is a plain Table (library/table.h); these
// name its columns, so no other file addresses a cell of a stored table by a bare number.
#pragma once

namespace vidoria {

// The library table: one row per known media file, in the order the files were added. An empty
// library is one row of empty cells.
struct LibraryColumn {
  static constexpr int kClass = 0;     // "MOVIE" or "TV"; empty marks an unused row
  static constexpr int kPath = 1;      // full path as the scan found it; the key when adding
  static constexpr int kName = 2;      // file name without folder; the key everywhere else
                                       // (playlists, pages, file delivery); may repeat
  static constexpr int kDuration = 3;  // SecondsToTime text of the length
  static constexpr int kCount = 4;
};

// The playlist table: one row per playlist. All rows share the column count, which starts at
// kCount and grows by one whenever a playlist needs a slot and has none free, never shrinking.
struct PlaylistColumn {
  static constexpr int kName = 0;  // how the window's tree and the web site find the playlist
  // The playlist's generated page while the program runs; emptied before the table is stored.
  static constexpr int kPage = 1;
  // This column and every later one is an item slot: a library file name (LibraryColumn::kName)
  // or empty; gaps between used slots are allowed.
  static constexpr int kFirstSlot = 2;
  static constexpr int kCount = 4;  // a fresh table
};

// The playlist list-file table: never stored; its rows follow the playlist table's row for row.
struct ListFileColumn {
  static constexpr int kListFile = 3;  // the list file of the playlist in the same row
  static constexpr int kCount = 4;     // the least width a generated row needs
};

// The user table: one row per account, in order of creation. An empty table is one empty row.
struct UserColumn {
  static constexpr int kName = 0;      // as typed; duplicates and empty names allowed
  static constexpr int kPassword = 1;  // enciphered with EncodeText(kCypherKey, ...)
  static constexpr int kCount = 2;
};

}  // namespace vidoria
