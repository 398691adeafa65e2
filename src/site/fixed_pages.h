// The two pages that never change after start: the home page and the library index.
#pragma once

#include <string>

#include "site/page_buffers.h"

namespace vidoria {

// Home: links to the library index and the playlists page, closed by the maker box.
const std::string& HomePage();
// Library index: links to the entire collection, the movies and the TV shows.
const std::string& LibraryIndexPage();

// Store them into page::kIndex and page::kLibraryMenu. Any thread.
void BuildHomePage(PageBuffers& pages);
void BuildLibraryIndexPage(PageBuffers& pages);

}  // namespace vidoria
