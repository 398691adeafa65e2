// The media server's HTTP side, on a port of its own: the device and service descriptions and
// the icons (GET, HEAD), the SOAP actions of each service (POST to "/<id>/control"), and event
// subscriptions (SUBSCRIBE, UNSUBSCRIBE at "/<id>/event") with their events. What the actions do
// is the owner's; this reads and writes the protocol.
//
// A subscriber's callback must be on the address it subscribes from: the device never sends
// events to a third party on a stranger's word.
//
// Threads: handlers run on the HTTP server's request threads; Notify from any thread.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "server/data_provider.h"
#include "upnp/event_sender.h"
#include "upnp/soap.h"
#include "upnp/subscriptions.h"

namespace vidoria {

// The largest SOAP request read: a TV's calls are a few hundred bytes.
inline constexpr int64_t kMaxSoapBody = 64 * 1024;

using Variables = std::vector<std::pair<std::string, std::string>>;

struct ActionAnswer {
  unsigned error = 0;  // 0 on success, else a UPnP error code with errorText
  std::string errorText;
  Variables out;  // the out arguments in order
};

struct DeviceService {
  std::string id;    // "ContentDirectory": its URLs are "/<id>/control" and "/<id>/event"
  std::string type;  // "urn:schemas-upnp-org:service:ContentDirectory:1"
  // The action's answer; `localAddress` is the address the request came to, where the links to
  // the web server point. Request threads; must be callable concurrently.
  std::function<ActionAnswer(const SoapCall& call, const std::string& localAddress)> act;
  // The evented variables and their values now, for a new subscriber's first event.
  std::function<Variables()> evented;
};

struct DeviceFile {
  std::string contentType;
  std::string bytes;
};

class DeviceProvider : public DataProvider {
 public:
  // `files` by path ("/description.xml").
  DeviceProvider(std::map<std::string, DeviceFile> files, std::vector<DeviceService> services);

  // Sends `variables` of the service `id` to its subscribers. Any thread.
  void Notify(const std::string& id, const Variables& variables);
  // Live subscriptions, and events answered 2xx so far (for tests). Any thread.
  size_t Subscribers();
  uint64_t EventsDelivered() const { return sender_.Delivered(); }

 private:
  void DataReceived(Connection& c);
  void Control(Connection& c, const DeviceService& service, const std::string& body);
  void Subscribe(Connection& c, const DeviceService& service);
  void Unsubscribe(Connection& c, const DeviceService& service);
  // The service whose "/<id>/<kind>" the path is, or nullptr.
  const DeviceService* ServiceAt(const std::string& path, std::string_view kind) const;

  const std::map<std::string, DeviceFile> files_;
  const std::vector<DeviceService> services_;
  Subscriptions subscriptions_;  // thread-safe
  EventSender sender_;           // thread-safe
};

}  // namespace vidoria
