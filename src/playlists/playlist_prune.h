// Dropping playlist items whose file the library no longer knows. Main thread only.
#pragma once

#include "library/table.h"

namespace vidoria {

// Empties every item slot whose text is the file name of no row of `libraryTable`, compared
// without regard to letter case (see FoldCase), so an item that differs from a library file name
// only in case is kept. Slots keep their places. The first generation runs this after the library
// pages and before every playlist's page; it generates nothing itself.
void PrunePlaylists(Table& playlistTable, const Table& libraryTable);

}  // namespace vidoria
