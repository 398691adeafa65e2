#include "web/list_file_provider.h"

#include "library/table_layouts.h"
#include "server/connection.h"
#include "web/list_answers.h"
#include "web/provider_answers.h"

namespace vidoria {

ListFileProvider::ListFileProvider(const WebContext& context) : context_(context) {
  onCheckRequest = ClaimWhen(
      [](const std::string& name) { return name.find("LIST.TXT&") != std::string::npos; });
  onDataReceived = [this](Connection& c) {
    if (c.Request().complete) Answer(c);
  };
}

void ListFileProvider::Answer(Connection& c) const {
  static const FixedList kFiles[] = {{"library", page::kLibraryList},
                                     {"music", page::kMusicList},
                                     {"movies", page::kMoviesList},
                                     {"tvshows", page::kTvShowsList}};
  AnswerList(context_, c, "/list.txt&", kFiles,
             [](const LibraryView& view, int row) -> const std::string& {
               return view.listFileTable.Cell(ListFileColumn::kListFile, row);
             });
}

}  // namespace vidoria
