// The provider module: the link and the program's providers, one per route, attached in the
// order the server asks them.
#pragma once

#include "server/data_provider.h"
#include "web/files_provider.h"
#include "web/library_page_provider.h"
#include "web/list_file_provider.h"
#include "web/list_of_lists_provider.h"
#include "web/list_page_provider.h"
#include "web/login_provider.h"
#include "web/playlists_page_provider.h"
#include "web/root_page_provider.h"
#include "web/web_context.h"

namespace vidoria {

// Owns the link and the providers attached to it. The server module attaches the link to its
// server before listening; the providers' handlers then run on request threads. Created, attached
// and destroyed on the thread that starts and stops the server, while it is not listening.
class ProviderModule {
 public:
  explicit ProviderModule(WebContext context);
  ProviderModule(const ProviderModule&) = delete;
  ProviderModule& operator=(const ProviderModule&) = delete;

  DataServerLink& Link() { return link_; }
  // The files provider's tables: host roots, default pages, content types.
  FilesProvider& Files() { return files_; }

 private:
  WebContext context_;  // first: every provider refers to it
  DataServerLink link_;
  FilesProvider files_;
  RootPageProvider rootPage_;
  PlaylistsPageProvider playlistsPage_;
  LibraryPageProvider libraryPage_;
  ListPageProvider listPage_;
  LoginProvider login_;
  ListFileProvider listFile_;
  ListOfListsProvider listOfLists_;
};

}  // namespace vidoria
