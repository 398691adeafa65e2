// DIDL-Lite, the XML a ContentDirectory answers Browse with. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

#include "upnp/bookmarks.h"
#include "upnp/media_tree.h"
#include "upnp/xml_text.h"
#include "web/media_facts_cache.h"

namespace vidoria {

// What the server offers (ConnectionManager's SourceProtocolInfo): MP4 video over HTTP.
inline constexpr std::string_view kVideoProtocolInfo = "http-get:*:video/mp4:*";

// "H:MM:SS.mmm", as a res element's duration.
std::string DidlDuration(uint64_t milliseconds);

// Collects objects into one DIDL-Lite document. `mediaBase` is "http://host:port" of the web
// server; an item's res and album art are it + the item's hrefs. With `facts`, each item's res
// says its duration, picture size, bit rate and sound and its protocolInfo its DLNA profile;
// the cache reads a file it does not know yet (so the writer is for the media server's thread,
// not a request thread of the web server).
class DidlWriter {
 public:
  // With `bookmarks`, an item a TV left in the middle says where (Samsung's dcmInfo BM).
  explicit DidlWriter(std::string mediaBase, MediaFactsCache* facts = nullptr,
                      const Bookmarks* bookmarks = nullptr);
  void AddContainer(const MediaContainer& container);
  void AddItem(const MediaContainer& container, size_t index);
  // The document; the writer is spent afterwards.
  std::string Finish();

 private:
  std::string mediaBase_;
  MediaFactsCache* facts_;
  const Bookmarks* bookmarks_;
  std::string out_;
};

}  // namespace vidoria
