#include "web/root_page_provider.h"

#include "web/provider_answers.h"

namespace vidoria {

RootPageProvider::RootPageProvider(const WebContext& context) {
  ServeGatedPage(*this, context, "/", page::kIndex);
}

}  // namespace vidoria
