#include "library/stored_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <functional>

#include "library/line_breaks.h"
#include "platform/atomic_write.h"
#include "platform/file_bytes.h"
#include "platform/file_names.h"

namespace vidoria {
namespace {

constexpr std::string_view kCrLf = "\r\n";
// A count of 0 is raised to 1, which gives the table cells the file does not store. Our files
// never have such counts; a file asking for more than this many of them is taken as damaged
// rather than trusted with a table of thousands of millions of cells.
constexpr int64_t kMostUnstoredCells = 1 << 16;

// A count line: optional spaces, an optional sign, decimal digits, optional spaces.
std::optional<int> ParseCount(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  if (!line.empty() && line.front() == '+') line.remove_prefix(1);
  if (line.empty() || line.front() == '+') return std::nullopt;
  int value = 0;
  const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
  if (error != std::errc() || end != line.data() + line.size()) return std::nullopt;
  return value;
}

// Lines ended by CR, LF or CR LF; a last line without an ending still counts, an ending at the very
// end starts no further line ("a\r\n" is one line, "" none).
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string ReadBytes(const std::string& path) {
  OsResult<std::string> bytes = ReadFileBytes(path);
  if (!bytes) throw StoreError("Cannot read", path, bytes.Error().Text());
  return std::move(*bytes);
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  if (auto written = WriteFileAtomically(path, bytes); !written) {
    throw StoreError("Cannot write", path, written.Error().Text());
  }
}

std::string NotAGridFile(int lineNumber) {
  return "not a grid file (line " + std::to_string(lineNumber) + " is no count)";
}

// "Left out of LIBRARY.kavra: row 3 (/v/a\nb.mp4) has a line break, which the file cannot store."
std::string LeftOut(const std::string& path, const std::string& what, std::string_view value) {
  return "Left out of " + FileNameOf(path) + ": " + what + " (" + Printable(value) +
         ") has a line break, which the file cannot store.";
}

// Runs `load` unless there is no file at `path`; sets the file aside when it fails.
std::optional<std::string> LoadOrSetAside(const std::string& path,
                                          const std::function<void()>& load) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return std::nullopt;
  try {
    load();
    return std::nullopt;
  } catch (const StoreError& error) {
    return SetAsideDamaged(path, error.Reason());
  }
}

}  // namespace

std::string GridBytes(const Table& table, const std::string& path,
                      std::vector<std::string>* leftOut) {
  std::vector<int> rows;
  for (int row = 0; row < table.RowCount(); ++row) {
    int broken = 0;
    while (broken < table.ColCount() && !HasLineBreak(table.Cell(broken, row))) ++broken;
    if (broken == table.ColCount()) {
      rows.push_back(row);
    } else if (leftOut) {
      leftOut->push_back(LeftOut(path, "row " + std::to_string(row + 1), table.Cell(broken, row)));
    }
  }
  std::string bytes;
  bytes.append(std::to_string(table.ColCount())).append(kCrLf);
  bytes.append(std::to_string(std::max<size_t>(rows.size(), 1))).append(kCrLf);
  for (int col = 0; col < table.ColCount(); ++col) {
    for (const int row : rows) bytes.append(table.Cell(col, row)).append(kCrLf);
    if (rows.empty()) bytes.append(kCrLf);
  }
  return bytes;
}

std::vector<std::string> SaveGrid(const Table& table, const std::string& path) {
  std::vector<std::string> leftOut;
  WriteBytes(path, GridBytes(table, path, &leftOut));
  return leftOut;
}

void ParseGrid(Table& table, std::string_view bytes, const std::string& path) {
  const std::vector<std::string> lines = SplitLines(bytes);
  const std::optional<int> cols = lines.size() > 0 ? ParseCount(lines[0]) : std::nullopt;
  if (!cols) throw StoreError("Cannot read", path, NotAGridFile(1));
  const std::optional<int> rows = lines.size() > 1 ? ParseCount(lines[1]) : std::nullopt;
  if (!rows) throw StoreError("Cannot read", path, NotAGridFile(2));

  // Checked before the table is resized, so a damaged count cannot ask for gigabytes of cells.
  const int64_t storedCols = std::max(*cols, 0);
  const int64_t storedRows = std::max(*rows, 0);
  const int64_t needed = storedCols * storedRows;
  const int64_t held = static_cast<int64_t>(lines.size()) - 2;
  const int64_t unstored = int64_t{std::max(*cols, 1)} * std::max(*rows, 1) - needed;
  if (needed > held || unstored > kMostUnstoredCells) {
    throw StoreError("Cannot read", path,
                     "damaged: " + std::to_string(*cols) + " columns and " + std::to_string(*rows) +
                         " rows, but the file ends after " + std::to_string(held) + " cells");
  }

  Table loaded = table;
  loaded.SetColCount(*cols);
  loaded.SetRowCount(*rows);
  size_t next = 2;
  for (int col = 0; col < storedCols; ++col) {
    for (int row = 0; row < storedRows; ++row) loaded.SetCell(col, row, lines[next++]);
  }
  table = std::move(loaded);
}

void LoadGrid(Table& table, const std::string& path) {
  ParseGrid(table, ReadBytes(path), path);
}

std::vector<std::string> ParseLines(std::string_view bytes) {
  return SplitLines(bytes);
}

std::vector<std::string> ReadLineFile(const std::string& path) {
  return SplitLines(ReadBytes(path));
}

std::string LineFileBytes(const std::vector<std::string>& lines, const std::string& path,
                          std::vector<std::string>* leftOut) {
  std::string bytes;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (HasLineBreak(lines[i])) {
      if (leftOut) leftOut->push_back(LeftOut(path, "entry " + std::to_string(i + 1), lines[i]));
    } else {
      bytes.append(lines[i]).append(kCrLf);
    }
  }
  return bytes;
}

std::vector<std::string> WriteLineFile(const std::string& path,
                                       const std::vector<std::string>& lines) {
  std::vector<std::string> leftOut;
  WriteBytes(path, LineFileBytes(lines, path, &leftOut));
  return leftOut;
}

std::optional<std::string> LoadGridOrSetAside(Table& table, const std::string& path) {
  return LoadOrSetAside(path, [&] { LoadGrid(table, path); });
}

std::optional<std::string> ReadLineFileOrSetAside(std::vector<std::string>& lines,
                                                  const std::string& path) {
  return LoadOrSetAside(path, [&] { lines = ReadLineFile(path); });
}

std::string SetAsideDamaged(const std::string& path, const std::string& reason) {
  const std::string name = FileNameOf(path);
  const OsResult<std::string> aside = MoveAside(path);
  if (aside) return name + " could not be read (" + reason + "); kept as " + FileNameOf(*aside);
  return name + " could not be read (" + reason + ") and could not be moved aside (" +
         aside.Error().Text() + ")";
}

}  // namespace vidoria
