#include "web/playlists_page_provider.h"

#include "web/provider_answers.h"

namespace vidoria {

PlaylistsPageProvider::PlaylistsPageProvider(const WebContext& context) {
  ServeGatedPage(*this, context, "/PLAYLISTS.HTML", page::kPlaylists);
}

}  // namespace vidoria
