// Answering a request that names a list: one of the fixed collections, else every playlist of
// that name. Shared by the list page and list file providers; request threads.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "server/connection.h"
#include "web/web_context.h"

namespace vidoria {

// A collection's list name ("library", "movies", ...) and the page buffer that answers it.
struct FixedList {
  std::string_view name;
  std::string_view buffer;
};

// The text a playlist row answers with (its page or its list file).
using PlaylistText = std::function<const std::string&(const LibraryView& view, int row)>;

// The list name is the request's file name without `prefix` and without slashes, percent-decoded
// as UTF-8. A fixed list answers with its buffer; otherwise every playlist row of exactly that
// name, in table order, writes its text; no such row answers 404.
void AnswerList(const WebContext& context, Connection& c, std::string_view prefix,
                std::span<const FixedList> fixed, const PlaylistText& text);

}  // namespace vidoria
