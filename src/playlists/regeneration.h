// What the playlist operations set off in the window and the site generator.
#pragma once

#include <functional>

namespace vidoria {

// Hooks the window supplies; each may be empty. The operations call them synchronously on the
// caller's (main) thread, at the points their contracts name, so the status line and the published
// pages change in the same order as the user's action.
struct PlaylistRegeneration {
  std::function<void(int row)> playlist;  // that row's page and list file (and the list of lists)
  std::function<void()> playlistsPage;    // the page listing the playlists
  std::function<void()> currentView;      // the click action for the tree's selected node
  std::function<void()> libraryList;      // rebuild the desktop library list, store the library

  void GeneratePlayList(int row) const {
    if (playlist) playlist(row);
  }
  void GeneratePlayLists() const {
    if (playlistsPage) playlistsPage();
  }
  void RefreshView() const {
    if (currentView) currentView();
  }
  void RebuildLibraryList() const {
    if (libraryList) libraryList();
  }
};

}  // namespace vidoria
