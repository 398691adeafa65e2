// The list of lists: every list file the site offers, one per line.
#pragma once

#include "server/data_provider.h"
#include "web/web_context.h"

namespace vidoria {

// Claims every path containing "kavra_list.txt" (any letter case) and answers, without the login
// gate, with the page buffer page::kListList. Handlers run on request threads; `context` must
// outlive the provider.
class ListOfListsProvider : public DataProvider {
 public:
  explicit ListOfListsProvider(const WebContext& context);
};

}  // namespace vidoria
