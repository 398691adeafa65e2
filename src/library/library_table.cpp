#include "library/library_table.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "library/case_fold.h"
#include "platform/file_names.h"

namespace vidoria {
namespace {

// Characters, not bytes: a single "é" is one character, as the user typed one.
size_t CharacterCount(std::string_view text) {
  size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

ListResult WithStatus(std::vector<std::string> items) {
  ListResult result{std::move(items), {}};
  result.status = ItemCountStatus(result.items.size());
  return result;
}

}  // namespace

std::string SecondsToTime(double seconds) {
  // Beyond 2^53 a double holds whole numbers only; capping there keeps the conversion defined.
  constexpr double kLargest = 9007199254740992.0;
  if (!(seconds > 0)) seconds = 0;  // also NaN
  if (seconds > kLargest) seconds = kLargest;
  double whole = std::floor(seconds);
  const double fraction = seconds - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2) != 0)) whole += 1;
  const int64_t s = static_cast<int64_t>(whole);
  char text[48];
  std::snprintf(text, sizeof text, "%1.1lld:%2.2lld:%2.2lld", static_cast<long long>(s / 3600),
                static_cast<long long>(s % 3600 / 60), static_cast<long long>(s % 60));
  return text;
}

void AddToLibrary(Table& libraryTable, std::string_view cls, std::string_view fullPath, int count,
                  int position, StatusBoard& status) {
  for (int row = 0; row < libraryTable.RowCount(); ++row) {
    if (libraryTable.Cell(LibraryColumn::kPath, row) == fullPath) return;
  }
  AddNewToLibrary(libraryTable, cls, fullPath, count, position, status);
}

void AddNewToLibrary(Table& libraryTable, std::string_view cls, std::string_view fullPath,
                     int count, int position, StatusBoard& status) {
  const std::string name = FileNameOf(fullPath);
  status.Show(name + " (" + std::to_string(position) + " of " + std::to_string(count) + ")");

  if (libraryTable.ColCount() < LibraryColumn::kCount)
    libraryTable.SetColCount(LibraryColumn::kCount);
  int row = libraryTable.RowCount() - 1;
  if (!libraryTable.Cell(LibraryColumn::kPath, row).empty()) {
    libraryTable.AddRow();
    ++row;
  }
  libraryTable.SetCell(LibraryColumn::kClass, row, std::string(cls));
  libraryTable.SetCell(LibraryColumn::kPath, row, std::string(fullPath));
  libraryTable.SetCell(LibraryColumn::kName, row, name);
  static const std::string kNominal = SecondsToTime(kNominalSeconds);
  libraryTable.SetCell(LibraryColumn::kDuration, row, kNominal);
}

ListResult LibraryList(const Table& libraryTable, std::string_view libraryFilter) {
  std::vector<std::string> items;
  for (int row = 0; row < libraryTable.RowCount(); ++row) {
    const std::string& cls = libraryTable.Cell(LibraryColumn::kClass, row);
    if (libraryFilter == "_" ? !cls.empty() : cls == libraryFilter) {
      items.push_back(libraryTable.Cell(LibraryColumn::kName, row));
    }
  }
  return WithStatus(std::move(items));
}

ListResult SearchLibrary(const Table& libraryTable, std::string_view text) {
  const bool everything = CharacterCount(text) < 2;
  const std::string wanted = FoldCase(text);
  std::vector<std::string> items;
  for (int row = 0; row < libraryTable.RowCount(); ++row) {
    const std::string& name = libraryTable.Cell(LibraryColumn::kName, row);
    if (everything || (" " + FoldCase(name)).find(wanted) != std::string::npos) {
      items.push_back(name);
    }
  }
  return WithStatus(std::move(items));
}

std::string ItemCountStatus(size_t count) {
  return std::to_string(count) + (count == 1 ? " item" : " items");
}

void RemoveFromLibrary(Table& libraryTable, Table& playlistTable,
                       const std::vector<std::string>& names) {
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    for (int row = libraryTable.RowCount() - 1; row >= 0; --row) {
      if (libraryTable.Cell(LibraryColumn::kName, row) == *name) DeleteGridRow(libraryTable, row);
    }
    for (int row = 0; row < playlistTable.RowCount(); ++row) {
      for (int col = PlaylistColumn::kFirstSlot; col < playlistTable.ColCount(); ++col) {
        if (playlistTable.Cell(col, row) == *name) playlistTable.SetCell(col, row, {});
      }
    }
  }
}

}  // namespace vidoria
