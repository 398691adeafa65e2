#include "web/list_of_lists_provider.h"

#include "server/connection.h"
#include "web/provider_answers.h"

namespace vidoria {

ListOfListsProvider::ListOfListsProvider(const WebContext& context) {
  onCheckRequest = ClaimWhen(
      [](const std::string& name) { return name.find("KAVRA_LIST.TXT") != std::string::npos; });
  onDataReceived = [&context](Connection& c) {
    if (c.Request().complete) WritePage(context, c, page::kListList);
  };
}

}  // namespace vidoria
