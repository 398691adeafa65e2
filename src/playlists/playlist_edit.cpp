#include "playlists/playlist_edit.h"

#include <algorithm>
#include <set>

#include "library/line_breaks.h"
#include "playlists/playlist_table.h"

namespace vidoria {
namespace {

bool RowHolds(const Table& playlistTable, int row, const std::string& item) {
  for (int col = PlaylistColumn::kFirstSlot; col < playlistTable.ColCount(); ++col) {
    if (playlistTable.Cell(col, row) == item) return true;
  }
  return false;
}

int FreeSlot(Table& playlistTable, int row) {
  for (int col = PlaylistColumn::kFirstSlot; col < playlistTable.ColCount(); ++col) {
    if (playlistTable.Cell(col, row).empty()) return col;
  }
  // A table read from a file may be narrower than the layout; the new slot must not land in the
  // name or page column, where the next generation would overwrite it.
  const int col = std::max(playlistTable.ColCount(), PlaylistColumn::kFirstSlot);
  playlistTable.SetColCount(col + 1);
  return col;
}

void EmptySlots(Table& playlistTable, int row, const std::set<std::string>& items) {
  for (int col = PlaylistColumn::kFirstSlot; col < playlistTable.ColCount(); ++col) {
    if (items.contains(playlistTable.Cell(col, row))) playlistTable.SetCell(col, row, {});
  }
}

void RegenerateAfterRemoval(const Table& playlistTable, const PlaylistRegeneration& regen) {
  regen.GeneratePlayLists();
  for (int row = 0; row < playlistTable.RowCount(); ++row) regen.GeneratePlayList(row);
  regen.RebuildLibraryList();
}

}  // namespace

std::string CreatePlaylist(Table& playlistTable, const std::vector<std::string>& selected,
                           const PlaylistRegeneration& regen) {
  std::string name = UniquePlaylistName(playlistTable);
  // Only a row without name and items is free: a row someone renamed to nothing may still hold a
  // playlist, and the new one must not take over its entries.
  if (!BlankPlaylistRow(playlistTable, playlistTable.RowCount() - 1)) playlistTable.AddRow();
  const int row = playlistTable.RowCount() - 1;
  playlistTable.SetCell(PlaylistColumn::kName, row, name);
  UpdatePlaylist(playlistTable, name, selected, regen);
  regen.GeneratePlayList(row);
  return name;
}

void UpdatePlaylist(Table& playlistTable, std::string_view name,
                    const std::vector<std::string>& selected, const PlaylistRegeneration& regen) {
  const int row = PlaylistRow(playlistTable, name);
  for (const std::string& item : selected) {
    // An empty text names no file; storing it would only widen the table. A text with a line
    // break names none either (the library cannot hold such a name), and the playlist file could
    // not store the row: the whole playlist would be left out of it.
    if (item.empty() || HasLineBreak(item) || RowHolds(playlistTable, row, item)) continue;
    playlistTable.SetCell(FreeSlot(playlistTable, row), row, item);
    regen.GeneratePlayList(row);
  }
}

void RemoveFromPlaylist(Table& playlistTable, std::string_view name,
                        const std::vector<std::string>& items, const PlaylistRegeneration& regen) {
  const std::set<std::string> gone(items.begin(), items.end());
  for (int row = 0; row < playlistTable.RowCount(); ++row) {
    if (playlistTable.Cell(PlaylistColumn::kName, row) == name)
      EmptySlots(playlistTable, row, gone);
  }
  RegenerateAfterRemoval(playlistTable, regen);
}

void RemoveFromEveryPlaylist(Table& playlistTable, const std::vector<std::string>& items,
                             const PlaylistRegeneration& regen) {
  const std::set<std::string> gone(items.begin(), items.end());
  for (int row = 0; row < playlistTable.RowCount(); ++row) EmptySlots(playlistTable, row, gone);
  RegenerateAfterRemoval(playlistTable, regen);
}

}  // namespace vidoria
