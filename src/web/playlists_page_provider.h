// The page listing the playlists.
#pragma once

#include "server/data_provider.h"
#include "web/web_context.h"

namespace vidoria {

// Answers /playlists.html (any letter case) with the page buffer page::kPlaylists behind the login
// gate. Handlers run on request threads; `context` must outlive the provider.
class PlaylistsPageProvider : public DataProvider {
 public:
  explicit PlaylistsPageProvider(const WebContext& context);
};

}  // namespace vidoria
