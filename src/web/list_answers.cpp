#include "web/list_answers.h"

#include "library/table_layouts.h"
#include "server/http_values.h"
#include "web/provider_answers.h"

namespace vidoria {

namespace {

std::string RemoveAll(std::string text, std::string_view what) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
    text.erase(at, what.size());
  }
  return text;
}

// The list name behind a path such as "/list&My%20Playlist": the fixed prefix and every slash
// dropped, then percent-decoded as UTF-8.
std::string ListName(const std::string& fileName, std::string_view prefix) {
  std::string name = RemoveAll(fileName, prefix);
  name = RemoveAll(RemoveAll(std::move(name), "/"), "\\");
  return PercentDecode(name);
}

}  // namespace

void AnswerList(const WebContext& context, Connection& c, std::string_view prefix,
                std::span<const FixedList> fixed, const PlaylistText& text) {
  const std::string name = ListName(c.Request().FileName(), prefix);
  for (const FixedList& list : fixed) {
    if (name == list.name) return WritePage(context, c, list.buffer);
  }
  // Every playlist of that name, in table order.
  const auto view = context.library->Current();
  bool found = false;
  for (int row = 0; row < view->playlistTable.RowCount(); ++row) {
    if (view->playlistTable.Cell(PlaylistColumn::kName, row) != name) continue;
    c.Write(text(*view, row));
    found = true;
  }
  if (!found) NotFound(c, name);
}

}  // namespace vidoria
