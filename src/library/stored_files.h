// The program's stored files: grid files (tables) and line files (lists), in the data folder.
//
// Formats, both UTF-8 bytes without a byte-order mark, every line ended by CR LF (the last too):
// - grid file: the column count, the row count, then one cell per line in column-major order
//   (rows 0..last of column 0, then of column 1, ...). Cells are stored unescaped.
// - line file: one entry per line.
// Reading accepts CR, LF or CR LF as line ends. Writing is atomic (see platform/atomic_write.h).
//
// Plain functions without shared state; the program calls them from the main thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/store_error.h"
#include "library/table.h"

namespace vidoria {

inline constexpr std::string_view kLibraryFileName = "LIBRARY.kavra";
inline constexpr std::string_view kPlaylistsFileName = "PLAYLISTS.kavra";
inline constexpr std::string_view kUsersFileName = "USERS.kavra";
inline constexpr std::string_view kFoldersFileName = "FOLDERS.kavra";
inline constexpr std::string_view kSettingsFileName = "settings.kavra";

// A row whose cells hold CR or LF is left out, and the other rows are saved; the result names
// each row left out, for the activity log. Why the row and not the file or the cell: the format
// has no way to store a line break, and refusing the whole file would lose every other change at
// the next start. A row is one record (a library file, a playlist, an account), and storing it
// with the offending cell emptied would read back as a different record: an emptied path marks a
// library row as free for the next file, an emptied password opens an account without one. The
// entry points refuse such names, so a row left out here is a fault caught late, not a way of
// working. When every row is left out, the file holds one empty row (the empty table).
// Throws StoreError, leaving the file as it was, when the file cannot be written.
[[nodiscard]] std::vector<std::string> SaveGrid(const Table& table, const std::string& path);

// Sets the table's counts from the file (each raised to at least 1) and fills the stored cells;
// cells outside the stored counts keep their text (a stored column count of 0 leaves column 0 as
// it was). Lines after the last cell are ignored. All or nothing: on a StoreError the table is
// unchanged. Errors: the file cannot be opened or read; line 1 or 2 is no whole number in the
// range of int ("not a grid file"); the file ends before every cell was read ("damaged") - our
// own files are always complete, so a short one was cut off and its cells cannot be trusted.
void LoadGrid(Table& table, const std::string& path);

// Throws StoreError when the file cannot be opened or read.
std::vector<std::string> ReadLineFile(const std::string& path);
// For lists whose entries stand alone (the watched folders): an entry holding CR or LF is left
// out for the reasons SaveGrid gives, and the result names each one. A file whose lines have
// fixed places (the settings) must be given lines without breaks: leaving one out would shift
// the rest. Throws StoreError, leaving the file as it was, when the file cannot be written.
[[nodiscard]] std::vector<std::string> WriteLineFile(const std::string& path,
                                                     const std::vector<std::string>& lines);

// Start-up loading that never loses a file and never stops start-up:
// - no file at `path`: nothing changes, the result is empty;
// - a file that loads: as LoadGrid / ReadLineFile, the result is empty;
// - a file that cannot be read or is damaged: the table / lines keep their initial state, the file
//   is renamed to the first free of path.bad, path.1.bad, ... and the result is the message to
//   report, e.g. "LIBRARY.kavra could not be read (not a grid file (line 1 is no count)); kept
//   as LIBRARY.kavra.bad".
std::optional<std::string> LoadGridOrSetAside(Table& table, const std::string& path);
std::optional<std::string> ReadLineFileOrSetAside(std::vector<std::string>& lines,
                                                  const std::string& path);

// Sets a file aside as the loaders above do, for a file that reads but whose content its user
// finds damaged (`reason`, e.g. "line 4 is no whole number"), and returns the notice to report.
std::string SetAsideDamaged(const std::string& path, const std::string& reason);

// The formats without the files, behind the functions above (and the fuzz drivers' way in):
// `path` only names the file in notices and errors. Rows and entries holding a line break are
// left out as SaveGrid and WriteLineFile leave them out, with their notices added to `leftOut`
// when it is given.
void ParseGrid(Table& table, std::string_view bytes, const std::string& path);
std::string GridBytes(const Table& table, const std::string& path,
                      std::vector<std::string>* leftOut = nullptr);
std::vector<std::string> ParseLines(std::string_view bytes);
std::string LineFileBytes(const std::vector<std::string>& lines, const std::string& path,
                          std::vector<std::string>* leftOut = nullptr);

}  // namespace vidoria
