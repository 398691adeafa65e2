#include "web/list_page_provider.h"

#include "library/table_layouts.h"
#include "server/connection.h"
#include "web/list_answers.h"
#include "web/provider_answers.h"

namespace vidoria {

ListPageProvider::ListPageProvider(const WebContext& context) : context_(context) {
  onCheckRequest =
      ClaimWhen([](const std::string& name) { return name.find("LIST&") != std::string::npos; });
  onDataReceived = [this](Connection& c) {
    if (!c.Request().complete) return;
    if (GatePasses(context_, c)) {
      Answer(c);
    } else {
      LoginRedirect(context_, c);
    }
  };
}

void ListPageProvider::Answer(Connection& c) const {
  static const FixedList kPages[] = {{"library", page::kLibrary},
                                     {"music", page::kMusic},
                                     {"movies", page::kMovies},
                                     {"tvshows", page::kTvShows}};
  AnswerList(context_, c, "/list&", kPages,
             [](const LibraryView& view, int row) -> const std::string& {
               return view.playlistTable.Cell(PlaylistColumn::kPage, row);
             });
}

}  // namespace vidoria
