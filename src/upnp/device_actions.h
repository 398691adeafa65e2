// What the device's actions answer: the ContentDirectory over the tree the library gives (Browse,
// Search, the update id, Samsung's feature list and bookmarks), and the fixed answers of the
// ConnectionManager and the media receiver registrar.
//
// Threads: Act and Evented run on the HTTP server's request threads, concurrently; Refresh on the
// media server's worker. The tree is shared as an immutable snapshot under one lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "upnp/bookmarks.h"
#include "upnp/device_provider.h"
#include "upnp/media_tree.h"
#include "upnp/update_counter.h"
#include "web/library_view.h"
#include "web/media_facts_cache.h"

namespace vidoria {

struct ContentSources {
  // The library as the engine last published it. Any thread.
  std::function<std::shared_ptr<const LibraryView>()> library;
  // False while the listing is protected: Browse and Search list nothing. Any thread.
  std::function<bool()> listingAllowed;
  // Counts the site's generations; the tree is built again when it moves. May be null.
  const std::atomic<uint32_t>* siteGeneration = nullptr;
  MediaFactsCache* facts = nullptr;  // may be null
  Bookmarks* bookmarks = nullptr;    // must not be null
  int mediaPort = 0;                 // the web server's, for the items' links
  std::function<void(const std::string&)> report;
};

class ContentDirectory {
 public:
  explicit ContentDirectory(ContentSources sources);

  ActionAnswer Act(const SoapCall& call, const std::string& localAddress);
  Variables Evented();
  // Builds the tree again when the site changed since; true when what a TV sees changed with it
  // (the update id moved).
  bool Refresh();
  // The tree now (built at the first call).
  std::shared_ptr<const MediaTree> Tree();

 private:
  struct Shown {
    std::shared_ptr<const MediaTree> tree;
    uint32_t updateId = 0;
  };
  Shown Current(bool* changed = nullptr);
  ActionAnswer SetBookmark(const SoapCall& call, const MediaTree& tree);

  const ContentSources sources_;
  std::mutex treeLock_;  // guards tree_, treeGeneration_, updateCounter_
  std::shared_ptr<const MediaTree> tree_;
  uint32_t treeGeneration_ = 0;
  UpdateCounter updateCounter_;
};

ActionAnswer ConnectionManagerAct(const SoapCall& call);
Variables ConnectionManagerEvented();
ActionAnswer RegistrarAct(const SoapCall& call);
Variables RegistrarEvented();

}  // namespace vidoria
