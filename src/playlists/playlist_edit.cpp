#include "playlists/playlist_edit.h"

#include <algorithm>
#include <set>

#include "playlists/playlist_table.h"

namespace vidoria {
namespace {

bool RowHolds(const Table& playlists, int row, const std::string& item) {
  for (int col = kFirstSlotColumn; col < playlists.ColCount(); ++col) {
    if (playlists.Cell(col, row) == item) return true;
  }
  return false;
}

int FreeSlot(Table& playlists, int row) {
  for (int col = kFirstSlotColumn; col < playlists.ColCount(); ++col) {
    if (playlists.Cell(col, row).empty()) return col;
  }
  // A table read from a file may be narrower than the layout; the new slot must not land in the
  // name or page column, where the next generation would overwrite it.
  const int col = std::max(playlists.ColCount(), kFirstSlotColumn);
  playlists.SetColCount(col + 1);
  return col;
}

void EmptySlots(Table& playlists, int row, const std::set<std::string>& items) {
  for (int col = kFirstSlotColumn; col < playlists.ColCount(); ++col) {
    if (items.contains(playlists.Cell(col, row))) playlists.SetCell(col, row, {});
  }
}

void RegenerateAfterRemoval(const Table& playlists, const PlaylistRegeneration& regen) {
  regen.GeneratePlayLists();
  for (int row = 0; row < playlists.RowCount(); ++row) regen.GeneratePlayList(row);
  regen.UpdateMyList();
}

}  // namespace

std::string createnewplaylist(Table& playlists, const std::vector<std::string>& selected,
                              const PlaylistRegeneration& regen) {
  std::string name = UniquePlaylistName(playlists);
  // Only a row without name and items is free: a row someone renamed to nothing may still hold a
  // playlist, and the new one must not take over its entries.
  if (!BlankPlaylistRow(playlists, playlists.RowCount() - 1)) playlists.AddRow();
  const int row = playlists.RowCount() - 1;
  playlists.SetCell(kPlaylistNameColumn, row, name);
  updateplaylist(playlists, name, selected, regen);
  regen.GeneratePlayList(row);
  return name;
}

void updateplaylist(Table& playlists, std::string_view name,
                    const std::vector<std::string>& selected, const PlaylistRegeneration& regen) {
  const int row = PlaylistRow(playlists, name);
  for (const std::string& item : selected) {
    // An empty text names no file; storing it would only widen the table.
    if (item.empty() || RowHolds(playlists, row, item)) continue;
    playlists.SetCell(FreeSlot(playlists, row), row, item);
    regen.GeneratePlayList(row);
  }
}

void RemoveFromPlaylist(Table& playlists, std::string_view name,
                        const std::vector<std::string>& items, const PlaylistRegeneration& regen) {
  const std::set<std::string> gone(items.begin(), items.end());
  for (int row = 0; row < playlists.RowCount(); ++row) {
    if (playlists.Cell(kPlaylistNameColumn, row) == name) EmptySlots(playlists, row, gone);
  }
  RegenerateAfterRemoval(playlists, regen);
}

void RemoveFromEveryPlaylist(Table& playlists, const std::vector<std::string>& items,
                             const PlaylistRegeneration& regen) {
  const std::set<std::string> gone(items.begin(), items.end());
  for (int row = 0; row < playlists.RowCount(); ++row) EmptySlots(playlists, row, gone);
  RegenerateAfterRemoval(playlists, regen);
}

}  // namespace vidoria
