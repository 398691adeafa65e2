// The UPnP MediaServer on the network: SSDP announcements and answers (root device, MediaServer:1,
// ContentDirectory:1, ConnectionManager:1, X_MS_MediaReceiverRegistrar:1) on every interface
// that is up and not a loopback device; and on a port of its own (the web port + 1, or any free
// one), the device and service descriptions, the icons, the SOAP actions Browse, Search,
// GetSystemUpdateID, GetSearchCapabilities, GetSortCapabilities, GetProtocolInfo,
// GetCurrentConnectionIDs, GetCurrentConnectionInfo, Samsung's X_GetFeatureList and
// X_SetBookmark, the registrar's IsAuthorized, IsValidated and RegisterDevice, and event
// subscriptions. The media itself is served by the web server at the links the phone site uses.
//
// Life: the constructor starts sharing, the destructor stops it (the device says byebye first).
// One object per start of the web server.
//
// Threads: discovery runs on a GLib thread of its own, the actions on the device port's request
// threads, the tree's rebuilding and the reading of movie boxes on a worker, events on a sender
// thread. The owner's thread (the engine's main thread) calls the constructor, SiteChanged() and
// the destructor. The library is read through `MediaServerOptions::library` (a published
// immutable snapshot) and the switches through the atomics and functions given, which must be
// callable from any thread.
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
  // system update id moves only when what a TV sees changed). Read from the server's threads;
  // the owner keeps it alive as long as the server.
  const std::atomic<uint32_t>* siteGeneration = nullptr;
  // A line for the activity log (an interface served, an error). Called on the server's threads.
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
