// The ContentDirectory's Browse action on a media tree, without the network: the arguments as
// the SOAP request carried them in, the answer or the UPnP error out. Pure but for the facts
// cache it may be given; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "upnp/bookmarks.h"
#include "upnp/media_tree.h"
#include "web/media_facts_cache.h"

namespace vidoria {

// The most objects one answer holds, whatever was asked (0 asks for all): a TV pages on with
// StartingIndex, and a request for four billion objects must not build a document that large.
inline constexpr uint32_t kMaxBrowseCount = 500;

// UPnP errors Browse answers with.
inline constexpr unsigned kInvalidArgs = 402;
inline constexpr unsigned kNoSuchObject = 701;
inline constexpr unsigned kNoSuchContainer = 710;
inline constexpr unsigned kInvalidSearchCriteria = 708;

// What Search can match (GetSearchCapabilities).
inline constexpr std::string_view kSearchCapabilities = "dc:title,upnp:class,@id,@parentID";

struct BrowseArguments {
  std::string objectId;
  std::string browseFlag;  // "BrowseMetadata" or "BrowseDirectChildren"
  std::string startingIndex;
  std::string requestedCount;
};

struct BrowseAnswer {
  unsigned error = 0;  // 0 on success, else one of the codes above with errorText
  std::string errorText;
  std::string result;  // the DIDL-Lite document
  uint32_t numberReturned = 0;
  uint32_t totalMatches = 0;
};

// A UPnP ui4 as text: decimal digits only (spaces around them allowed), at most 4294967295.
std::optional<uint32_t> ParseUi4(std::string_view text);

// `mediaBase` is "http://host:port" of the web server the items' links go to. With `facts`, the
// items carry what their files' movie boxes say (see DidlWriter).
BrowseAnswer Browse(const MediaTree& tree, const BrowseArguments& arguments,
                    std::string_view mediaBase, MediaFactsCache* facts = nullptr,
                    const Bookmarks* bookmarks = nullptr);

struct SearchArguments {
  std::string containerId;
  std::string criteria;
  std::string startingIndex;
  std::string requestedCount;
};

// Every object below the container (at any depth, the container itself not included) that meets
// the criteria, in browse order, paged like Browse. A video listed in several containers is found
// once, under the first (the entire collection comes before movies, TV shows and playlists).
BrowseAnswer Search(const MediaTree& tree, const SearchArguments& arguments,
                    std::string_view mediaBase, MediaFactsCache* facts = nullptr,
                    const Bookmarks* bookmarks = nullptr);

// The answer while the library is not to be listed: a valid, empty document.
BrowseAnswer NothingToBrowse();

}  // namespace vidoria
