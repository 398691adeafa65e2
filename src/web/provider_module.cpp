#include "web/provider_module.h"

#include <utility>

namespace vidoria {

ProviderModule::ProviderModule(WebContext context)
    : context_(std::move(context)),
      files_(context_),
      rootPage_(context_),
      playlistsPage_(context_),
      libraryPage_(context_),
      listPage_(context_),
      login_(context_),
      listFile_(context_),
      listOfLists_(context_) {
  link_.SetCheckOrder(1000);
  // Attached in this order; among equal check orders the one attached last is asked first. So
  // the server asks: login, root page, list of lists, list file, list page, library page,
  // playlists page, and the files last.
  const std::pair<DataProvider*, int> providers[] = {
      {&files_, 900},   {&rootPage_, 10}, {&playlistsPage_, 30}, {&libraryPage_, 30},
      {&listPage_, 30}, {&login_, 1},     {&listFile_, 30},      {&listOfLists_, 30},
  };
  for (auto [provider, order] : providers) {
    provider->SetCheckOrder(order);
    provider->SetLink(&link_);
  }
}

}  // namespace vidoria
