// The library page: links to the collections.
#pragma once

#include "server/data_provider.h"
#include "web/web_context.h"

namespace vidoria {

// Answers /library.html (any letter case) with the page buffer page::kLibraryMenu behind the login
// gate. Handlers run on request threads; `context` must outlive the provider.
class LibraryPageProvider : public DataProvider {
 public:
  explicit LibraryPageProvider(const WebContext& context);
};

}  // namespace vidoria
