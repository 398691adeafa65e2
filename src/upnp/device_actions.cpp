#include "upnp/device_actions.h"

#include <array>
#include <optional>

#include "upnp/browse.h"
#include "upnp/descriptions.h"
#include "upnp/didl.h"
#include "web/host_roots.h"

namespace vidoria {

namespace {

constexpr unsigned kInvalidAction = 401;

ActionAnswer Fault(unsigned code, std::string text) {
  ActionAnswer answer;
  answer.error = code;
  answer.errorText = std::move(text);
  return answer;
}

ActionAnswer Success(Variables out = {}) {
  ActionAnswer answer;
  answer.out = std::move(out);
  return answer;
}

ActionAnswer InvalidAction() {
  return Fault(kInvalidAction, "Invalid Action");
}

ActionAnswer InvalidArgs() {
  return Fault(kInvalidArgs, "Invalid Args");
}

// The call's four text arguments `names`, or nullopt when one is missing. Numbers stay text:
// the listing reads them strictly.
std::optional<std::array<std::string, 4>> TextArguments(const SoapCall& call,
                                                        const std::array<const char*, 4>& names) {
  std::array<std::string, 4> texts;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string* value = call.Argument(names[i]);
    if (!value) return std::nullopt;
    texts[i] = *value;
  }
  return texts;
}

// The answer of Browse and Search.
ActionAnswer Listing(const BrowseAnswer& answer, uint32_t updateId) {
  if (answer.error != 0) return Fault(answer.error, answer.errorText);
  return Success({{"Result", answer.result},
                  {"NumberReturned", std::to_string(answer.numberReturned)},
                  {"TotalMatches", std::to_string(answer.totalMatches)},
                  {"UpdateID", std::to_string(updateId)}});
}

}  // namespace

ContentDirectory::ContentDirectory(ContentSources sources) : sources_(std::move(sources)) {}

ContentDirectory::Shown ContentDirectory::Current(bool* changed) {
  std::lock_guard hold(treeLock_);
  // The count first, then the snapshot: the engine publishes before it counts, so the snapshot
  // is at least as new as the count the tree is kept for.
  const uint32_t generation = sources_.siteGeneration ? sources_.siteGeneration->load() : 0;
  if (changed) *changed = false;
  if (!tree_ || generation != treeGeneration_) {
    const std::shared_ptr<const LibraryView> view = sources_.library();
    tree_ =
        std::make_shared<const MediaTree>(view->libraryTable, view->playlistTable,
                                          [](const std::string& path) -> std::optional<int64_t> {
                                            const int64_t size = FileSizeOf(path);
                                            if (size < 0) return std::nullopt;
                                            return size;
                                          });
    treeGeneration_ = generation;
    const bool moved = updateCounter_.Observe(tree_->Fingerprint());
    if (changed) *changed = moved;
  }
  return Shown{tree_, updateCounter_.Value()};
}

bool ContentDirectory::Refresh() {
  bool changed = false;
  Current(&changed);
  return changed;
}

std::shared_ptr<const MediaTree> ContentDirectory::Tree() {
  return Current().tree;
}

Variables ContentDirectory::Evented() {
  return {{"SystemUpdateID", std::to_string(Current().updateId)}};
}

ActionAnswer ContentDirectory::Act(const SoapCall& call, const std::string& localAddress) {
  const std::string& action = call.action;
  const std::string mediaBase = "http://" + localAddress + ":" + std::to_string(sources_.mediaPort);
  const bool allowed = !sources_.listingAllowed || sources_.listingAllowed();
  // Browse and Search take four text arguments alike and answer alike; only their names differ.
  if (action == "Browse" || action == "Search") {
    const bool browse = action == "Browse";
    const auto texts = TextArguments(
        call, browse
                  ? std::array{"ObjectID", "BrowseFlag", "StartingIndex", "RequestedCount"}
                  : std::array{"ContainerID", "SearchCriteria", "StartingIndex", "RequestedCount"});
    if (!texts) return InvalidArgs();
    const Shown shown = Current();
    if (!allowed) return Listing(NothingToBrowse(), shown.updateId);
    const auto& [first, second, start, count] = *texts;
    return Listing(browse ? Browse(*shown.tree, BrowseArguments{first, second, start, count},
                                   mediaBase, sources_.facts, sources_.bookmarks)
                          : Search(*shown.tree, SearchArguments{first, second, start, count},
                                   mediaBase, sources_.facts, sources_.bookmarks),
                   shown.updateId);
  }
  if (action == "GetSystemUpdateID") return Success({{"Id", std::to_string(Current().updateId)}});
  // Searching by title and class; no sorting: the order is the phone site's.
  if (action == "GetSearchCapabilities") {
    return Success({{"SearchCaps", std::string(kSearchCapabilities)}});
  }
  if (action == "GetSortCapabilities") return Success({{"SortCaps", ""}});
  if (action == "X_GetFeatureList") return Success({{"FeatureList", std::string(FeatureList())}});
  if (action == "X_SetBookmark") return SetBookmark(call, *Current().tree);
  return InvalidAction();
}

ActionAnswer ContentDirectory::SetBookmark(const SoapCall& call, const MediaTree& tree) {
  const std::string* id = call.Argument("ObjectID");
  const std::string* position = call.Argument("PosSecond");
  const std::optional<uint32_t> seconds = position ? ParseUi4(*position) : std::nullopt;
  if (!id || !seconds) return InvalidArgs();
  const auto item = tree.Item(*id);
  if (!item || item->container->items[item->index].path.empty()) {
    return Fault(kNoSuchObject, "No such object");
  }
  if (auto problem = sources_.bookmarks->Set(item->container->items[item->index].path, *seconds)) {
    if (sources_.report) sources_.report("A TV's bookmark was not stored: " + *problem);
  }
  return Success();
}

ActionAnswer ConnectionManagerAct(const SoapCall& call) {
  const std::string& action = call.action;
  if (action == "GetProtocolInfo") {
    return Success({{"Source", std::string(kVideoProtocolInfo)}, {"Sink", ""}});
  }
  if (action == "GetCurrentConnectionIDs") return Success({{"ConnectionIDs", "0"}});
  if (action == "GetCurrentConnectionInfo") {
    const std::string* id = call.Argument("ConnectionID");
    if (!id || *id != "0") return Fault(706, "Invalid connection reference");
    return Success({{"RcsID", "-1"},
                    {"AVTransportID", "-1"},
                    {"ProtocolInfo", ""},
                    {"PeerConnectionManager", ""},
                    {"PeerConnectionID", "-1"},
                    {"Direction", "Output"},
                    {"Status", "OK"}});
  }
  return InvalidAction();
}

Variables ConnectionManagerEvented() {
  return {{"SourceProtocolInfo", std::string(kVideoProtocolInfo)},
          {"SinkProtocolInfo", ""},
          {"CurrentConnectionIDs", "0"}};
}

ActionAnswer RegistrarAct(const SoapCall& call) {
  // Every device is authorised and valid: the login, not the registrar, protects the listing.
  if (call.action == "IsAuthorized" || call.action == "IsValidated") {
    return Success({{"Result", "1"}});
  }
  if (call.action == "RegisterDevice") return Success({{"RegistrationRespMsg", ""}});
  return InvalidAction();
}

Variables RegistrarEvented() {
  // No authorisation ever changes.
  return {{"AuthorizationGrantedUpdateID", "0"},
          {"AuthorizationDeniedUpdateID", "0"},
          {"ValidationSucceededUpdateID", "0"},
          {"ValidationRevokedUpdateID", "0"}};
}

}  // namespace vidoria
