// The list pages: "/list&<name>", a collection's page or a playlist's page.
#pragma once

#include "server/data_provider.h"
#include "web/web_context.h"

namespace vidoria {

// Claims every path containing "list&" (any letter case) and answers behind the login gate with
// the page of the collection "library", "music", "movies" or "tvshows", else with the page of
// every playlist of that name. Handlers run on request threads; `context` must outlive the
// provider.
class ListPageProvider : public DataProvider {
 public:
  explicit ListPageProvider(const WebContext& context);

 private:
  void Answer(Connection& c) const;

  const WebContext& context_;
};

}  // namespace vidoria
