#include "upnp/browse.h"

#include <algorithm>
#include <charconv>

#include "upnp/didl.h"

namespace vidoria {

namespace {

BrowseAnswer Error(unsigned code, std::string text) {
  BrowseAnswer answer;
  answer.error = code;
  answer.errorText = std::move(text);
  return answer;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<uint32_t> ParseUi4(std::string_view text) {
  text = Trimmed(text);
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

BrowseAnswer NothingToBrowse() {
  BrowseAnswer answer;
  answer.result = DidlWriter("").Finish();
  return answer;
}

BrowseAnswer Browse(const MediaTree& tree, const BrowseArguments& arguments,
                    std::string_view mediaBase, MediaFactsCache* facts) {
  const std::optional<uint32_t> start = ParseUi4(arguments.startingIndex);
  const std::optional<uint32_t> requested = ParseUi4(arguments.requestedCount);
  if (!start || !requested) return Error(kInvalidArgs, "Invalid Args");
  const bool metadata = arguments.browseFlag == "BrowseMetadata";
  if (!metadata && arguments.browseFlag != "BrowseDirectChildren") {
    return Error(kInvalidArgs, "Invalid Args");
  }

  const MediaContainer* container = tree.Container(arguments.objectId);
  const std::optional<MediaTree::FoundItem> item =
      container ? std::nullopt : tree.Item(arguments.objectId);
  if (!container && !item) return Error(kNoSuchObject, "No such object");

  DidlWriter writer{std::string(mediaBase), facts};
  BrowseAnswer answer;
  if (metadata) {
    if (container) {
      writer.AddContainer(*container);
    } else {
      writer.AddItem(*item->container, item->index);
    }
    answer.numberReturned = answer.totalMatches = 1;
  } else {
    if (!container) return Error(kNoSuchContainer, "No such container");
    const size_t total = container->ChildCount();
    const size_t count = *requested == 0 ? kMaxBrowseCount : std::min(*requested, kMaxBrowseCount);
    const size_t first = std::min<size_t>(*start, total);
    const size_t last = std::min(total, first + count);
    for (size_t at = first; at < last; ++at) {
      if (at < container->containers.size()) {
        writer.AddContainer(*tree.Container(container->containers[at]));
      } else {
        writer.AddItem(*container, at - container->containers.size());
      }
    }
    answer.numberReturned = static_cast<uint32_t>(last - first);
    answer.totalMatches = static_cast<uint32_t>(total);
  }
  answer.result = writer.Finish();
  return answer;
}

}  // namespace vidoria
