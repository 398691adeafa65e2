// Dropping playlist items whose file the library no longer knows. Main thread only.
#pragma once

#include "library/table.h"

namespace vidoria {

// Empties every item slot whose text is the file name (column 2) of no row of `myGrid`, compared
// without regard to letter case (see FoldCase), so an item that differs from a library file name
// only in case is kept. Slots keep their places. The first generation runs this after the library
// pages and before every playlist's page; it generates nothing itself.
void PrunePlaylists(Table& playlists, const Table& myGrid);

}  // namespace vidoria
