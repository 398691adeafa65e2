// The list files: "/list.txt&<name>", one media path per line, for clients that play a list.
#pragma once

#include "server/data_provider.h"
#include "web/web_context.h"

namespace vidoria {

// Claims every path containing "list.txt&" (any letter case) and answers, without the login
// gate, with the list file of the collection "library", "music", "movies" or "tvshows", else
// with the list file of every playlist of that name. Handlers run on request threads; `context`
// must outlive the provider.
class ListFileProvider : public DataProvider {
 public:
  explicit ListFileProvider(const WebContext& context);

 private:
  void Answer(Connection& c) const;

  const WebContext& context_;
};

}  // namespace vidoria
