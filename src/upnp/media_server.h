// The UPnP MediaServer on the network: SSDP announcements and answers (root device, MediaServer:1,
// ContentDirectory:1, ConnectionManager:1) on every interface that is up and not a loopback
// device, the device and service descriptions, and the SOAP actions Browse, GetSystemUpdateID,
// GetSearchCapabilities, GetSortCapabilities, GetProtocolInfo, GetCurrentConnectionIDs,
// GetCurrentConnectionInfo, Samsung's X_GetFeatureList and X_SetBookmark, and the media receiver
// registrar's IsAuthorized, IsValidated and
// RegisterDevice. Built on GNOME's gupnp; the media itself is served by the web server
// at the links the phone site uses.
//
// Life: the constructor starts sharing, the destructor stops it (the devices say byebye). One
// object per start of the web server.
//
// Threads: the object runs its own thread with its own GLib main context; every gupnp object is
// created, used and destroyed on that thread only, and every action handler runs there. The
// owner's thread (the engine's main thread) calls the constructor, SiteChanged() and the
// destructor. The handlers read the library through `MediaServerOptions::library` (a published
// immutable snapshot) and the switches through the atomics and functions given, which must be
// callable from any thread; the browse tree is cached on the server's thread alone. The only
// state both threads touch is guarded as documented on the members in the .cpp file.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "web/library_view.h"
#include "web/media_facts_cache.h"

namespace vidoria {

struct MediaServerOptions {
  std::string friendlyName;  // "Vidoria on <host name>"
  std::string uuid;          // without "uuid:"; the same on every interface
  int mediaPort = 0;         // the web server's port, for the items' links
  // The library as the engine last published it. Any thread.
  std::function<std::shared_ptr<const LibraryView>()> library;
  // False while the listing is protected ("Require login" on): Browse lists nothing. Any thread.
  std::function<bool()> listingAllowed;
  // Counts the site's generations; a new one makes the server look at the tree again (the
  // system update id moves only when what a TV sees changed). Read from the server's thread; the
  // owner keeps it alive as long as the server.
  const std::atomic<uint32_t>* siteGeneration = nullptr;
  // A line for the activity log (a device up or down, an error). Called on the server's thread.
  std::function<void(const std::string&)> report;
  // What is known of each video; the server fills it as it lists them. May be null; the owner
  // keeps it alive as long as the server. Any thread.
  MediaFactsCache* mediaFacts = nullptr;
  // Where the videos' bookmarks are kept (bookmarks.kavra in the data folder); "" keeps them in
  // memory only.
  std::string bookmarksFile;
  // Tests only: also serve on loopback devices.
  bool includeLoopback = false;
};

class MediaServer {
 public:
  // Starts the thread and returns once it runs; the devices appear as interfaces come up.
  explicit MediaServer(MediaServerOptions options);
  MediaServer(const MediaServer&) = delete;
  MediaServer& operator=(const MediaServer&) = delete;
  // Says byebye on every interface and ends the thread.
  ~MediaServer();

  // The site was generated again (after `siteGeneration` changed): when what a TV sees changed,
  // subscribers are told the new system update id. Owner's thread.
  void SiteChanged();

  // The description's address on each interface served, e.g. "http://127.0.0.2:41234/
  // description.xml" (for tests and diagnostics). Any thread.
  std::vector<std::string> DescriptionUrls() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vidoria
