#include "web/library_page_provider.h"

#include "web/provider_answers.h"

namespace vidoria {

LibraryPageProvider::LibraryPageProvider(const WebContext& context) {
  ServeGatedPage(*this, context, "/LIBRARY.HTML", page::kLibraryMenu);
}

}  // namespace vidoria
