#include "upnp/browse.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>
#include <vector>

#include "upnp/didl.h"
#include "upnp/search_criteria.h"

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
                    std::string_view mediaBase, MediaFactsCache* facts,
                    const Bookmarks* bookmarks) {
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

  DidlWriter writer{std::string(mediaBase), facts, bookmarks};
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

BrowseAnswer Search(const MediaTree& tree, const SearchArguments& arguments,
                    std::string_view mediaBase, MediaFactsCache* facts,
                    const Bookmarks* bookmarks) {
  const std::optional<uint32_t> start = ParseUi4(arguments.startingIndex);
  const std::optional<uint32_t> requested = ParseUi4(arguments.requestedCount);
  if (!start || !requested) return Error(kInvalidArgs, "Invalid Args");
  const std::optional<SearchCriterion> criterion = ParseSearchCriteria(arguments.criteria);
  if (!criterion) return Error(kInvalidSearchCriteria, "Invalid search criteria");
  const MediaContainer* top = tree.Container(arguments.containerId);
  if (!top) {
    return Error(tree.Item(arguments.containerId) ? kNoSuchContainer : kNoSuchObject,
                 tree.Item(arguments.containerId) ? "No such container" : "No such object");
  }

  // The matches, depth first: a container's own containers, then its items.
  struct Match {
    const MediaContainer* container;  // the match itself, or the container of the item
    std::optional<size_t> item;
  };
  std::vector<Match> matches;
  std::unordered_set<std::string> seenItems;
  const std::string_view videoClass = "object.item.videoItem";
  const std::string_view folderClass = "object.container.storageFolder";
  std::vector<const MediaContainer*> pending{top};
  while (!pending.empty()) {
    const MediaContainer* container = pending.back();
    pending.pop_back();
    if (container != top &&
        (*criterion)({container->id, container->parentId, container->title, folderClass})) {
      matches.push_back({container, std::nullopt});
    }
    for (size_t i = 0; i < container->items.size(); ++i) {
      const MediaItem& item = container->items[i];
      const std::string id = MediaTree::ItemId(*container, i);
      if (!(*criterion)({id, container->id, item.title, videoClass})) continue;
      if (seenItems.insert(item.key).second) matches.push_back({container, i});
    }
    for (auto child = container->containers.rbegin(); child != container->containers.rend();
         ++child) {
      pending.push_back(tree.Container(*child));
    }
  }

  DidlWriter writer{std::string(mediaBase), facts, bookmarks};
  const size_t total = matches.size();
  const size_t count = *requested == 0 ? kMaxBrowseCount : std::min(*requested, kMaxBrowseCount);
  const size_t first = std::min<size_t>(*start, total);
  const size_t last = std::min(total, first + count);
  for (size_t at = first; at < last; ++at) {
    if (matches[at].item) {
      writer.AddItem(*matches[at].container, *matches[at].item);
    } else {
      writer.AddContainer(*matches[at].container);
    }
  }
  BrowseAnswer answer;
  answer.numberReturned = static_cast<uint32_t>(last - first);
  answer.totalMatches = static_cast<uint32_t>(total);
  answer.result = writer.Finish();
  return answer;
}

}  // namespace vidoria
