// Fuzz entry point for the grid file reader (LIBRARY.kavra, PLAYLISTS.kavra, USERS.kavra):
// ParseGrid on the input as a file's bytes, into a table that already holds cells (its shape comes
// from a hash of the input), as the program loads into tables it has set up.
//
// A refused file must leave the table exactly as it was and name the file. A read table must be
// one of the two shapes the format allows: every cell from its line of the file (counts of 1 or
// more), or, for a count of 0 or less, no cell stored and every cell kept from before. It must
// hold no line break, and written back it must read back the same, however the lines end and
// whatever follows the last cell (for tables of up to 1024 cells, which are most of the search).
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_expect.h"
#include "library/store_error.h"
#include "library/stored_files.h"
#include "library/table.h"

namespace vidoria {
namespace {

const std::string kPath = "LIBRARY.kavra";

Table Before(uint64_t hash) {
  Table table(1 + static_cast<int>(hash % 5), 1 + static_cast<int>((hash >> 8) % 3));
  for (int col = 0; col < table.ColCount(); ++col) {
    for (int row = 0; row < table.RowCount(); ++row) {
      table.SetCell(col, row, "kept " + std::to_string(col) + "." + std::to_string(row));
    }
  }
  return table;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string Replace(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  size_t start = 0;
  for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, start)) {
    out.append(text.substr(start, at - start)).append(to);
    start = at + from.size();
  }
  out.append(text.substr(start));
  return out;
}

// Reads `bytes` into a table of another shape; the stored file must fix every cell.
Table ReadBack(std::string_view bytes) {
  Table table(3, 2);
  table.SetCell(2, 1, "stale");
  try {
    ParseGrid(table, bytes, kPath);
  } catch (const std::exception&) {
    fuzz::Broken(__FILE__, __LINE__, "a grid file we wrote reads back");
  }
  return table;
}

bool CellsAre(const Table& table, const std::vector<std::string>& lines) {
  const int64_t cells = int64_t{table.ColCount()} * table.RowCount();
  if (static_cast<int64_t>(lines.size()) - 2 < cells) return false;
  for (int col = 0; col < table.ColCount(); ++col) {
    for (int row = 0; row < table.RowCount(); ++row) {
      if (table.Cell(col, row) != lines[2 + static_cast<size_t>(col) * table.RowCount() + row]) {
        return false;
      }
    }
  }
  return true;
}

bool CellsKept(const Table& table, const Table& before) {
  for (int col = 0; col < table.ColCount(); ++col) {
    for (int row = 0; row < table.RowCount(); ++row) {
      if (table.Cell(col, row) != before.Cell(col, row)) return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace vidoria

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vidoria;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Table before = Before(vidoria::fuzz::Hash(input));
  Table table = before;
  try {
    ParseGrid(table, input, kPath);
  } catch (const StoreError& error) {
    FUZZ_EXPECT(table == before);  // all or nothing
    FUZZ_EXPECT(error.Path() == kPath && !error.Reason().empty());
    return 0;
  } catch (const std::exception&) {
    fuzz::Broken(__FILE__, __LINE__, "only a StoreError refuses a file");
  }

  const std::vector<std::string> lines = ParseLines(input);
  FUZZ_EXPECT(table.ColCount() >= 1 && table.RowCount() >= 1);
  FUZZ_EXPECT(CellsAre(table, lines) || CellsKept(table, before));
  // Cells the file does not store are bounded, so a count cannot ask for unbounded memory.
  const int64_t cells = int64_t{table.ColCount()} * table.RowCount();
  FUZZ_EXPECT(cells <= static_cast<int64_t>(lines.size()) + (int64_t{1} << 16));
  for (int col = 0; col < table.ColCount(); ++col) {
    for (int row = 0; row < table.RowCount(); ++row) {
      FUZZ_EXPECT(!HasLineBreak(table.Cell(col, row)));
    }
  }

  // Counts can ask for 65536 empty cells in a few bytes. Writing back such a table tests nothing
  // a small one does not, and at tenths of a second a run it would slow the search to a crawl.
  if (cells > 1024) return 0;

  std::string written;
  try {
    written = GridBytes(table, kPath);
  } catch (const std::exception&) {
    fuzz::Broken(__FILE__, __LINE__, "a table read from a file can be written");
  }
  FUZZ_EXPECT(ParseLines(written).size() == 2 + static_cast<size_t>(cells));
  const Table again = ReadBack(written);
  FUZZ_EXPECT(again == table);
  FUZZ_EXPECT(GridBytes(again, kPath) == written);
  FUZZ_EXPECT(ReadBack(written + "left over\r\n\r\n") == table);
  FUZZ_EXPECT(ReadBack(Replace(written, "\r\n", "\n")) == table);
  FUZZ_EXPECT(ReadBack(Replace(written, "\r\n", "\r")) == table);
  return 0;
}
