#include "web/list_page_provider.h"

#include "library/table_layouts.h"
#include "server/connection.h"
#include "web/list_answers.h"
#include "web/provider_answers.h"

namespace vidoria {

ListPageProvider::ListPageProvider(const WebContext& context) : context_(context) {
  OnCheckRequest =
      ClaimWhen([](const std::string& name) { return name.find("LIST&") != std::string::npos; });
  OnDataReceived = [this](Connection& c) {
    if (!c.Request.Complete) return;
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
