// The device on the network's discovery channel (SSDP, through GNOME's gssdp): it is announced on
// every IPv4 interface that is up (loopback devices only when asked), answers searches there, and
// says byebye when it goes. Interfaces are looked at again every few seconds, so a cable plugged
// in or a Wi-Fi joined later is served too. Descriptions, control and events are not served
// here: the locations announced point at the media server's own HTTP port.
//
// Threads: a thread of its own runs a GLib main context; every gssdp object lives on it. The
// owner's thread calls the constructor, Locations() and the destructor.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vidoria {

struct SsdpAnnouncement {
  std::string uuid;        // without "uuid:"
  std::string deviceType;  // e.g. "urn:schemas-upnp-org:device:MediaServer:1"
  std::vector<std::string> serviceTypes;
  int httpPort = 0;             // where the description is served
  std::string descriptionPath;  // e.g. "/description.xml"
  bool includeLoopback = false;
  // Told (on the announcer's thread) when an interface starts being served: its name and the
  // location announced there.
  std::function<void(const std::string& interface, const std::string& location)> served;
};

class SsdpAnnouncer {
 public:
  // Starts the thread and returns once it runs; interfaces are served from its first turn.
  explicit SsdpAnnouncer(SsdpAnnouncement announcement);
  SsdpAnnouncer(const SsdpAnnouncer&) = delete;
  SsdpAnnouncer& operator=(const SsdpAnnouncer&) = delete;
  // Says byebye on every interface served and ends the thread.
  ~SsdpAnnouncer();

  // The description's address on each interface served now. Any thread.
  std::vector<std::string> Locations() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vidoria
