// The home page, at the site's root.
#pragma once

#include "server/data_provider.h"
#include "web/web_context.h"

namespace vidoria {

// Answers / with the page buffer page::kIndex behind the login gate. Handlers run on request
// threads; `context` must outlive the provider.
class RootPageProvider : public DataProvider {
 public:
  explicit RootPageProvider(const WebContext& context);
};

}  // namespace vidoria
