#include "upnp/ssdp_announcer.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <libgssdp/gssdp.h>
#include <net/if.h>
#include <netinet/in.h>

#include <future>
#include <map>
#include <mutex>
#include <thread>

namespace vidoria {

namespace {

// How often the interfaces are looked at again.
constexpr guint kLookSeconds = 5;
// How long the byebye messages get to leave when the announcer goes.
constexpr guint kFarewellMilliseconds = 300;
// Between two queued messages of one interface; gssdp's default spaces them 120 ms apart, so that
// the six announcements would take most of a second. A smaller gap still keeps bursts apart.
constexpr guint kMessageDelayMilliseconds = 20;
constexpr const char* kServerId = "Linux UPnP/1.0 Vidoria/1.4";

// Interface name -> its first IPv4 address, for the interfaces to serve now.
std::map<std::string, std::string> InterfacesUp(bool includeLoopback) {
  std::map<std::string, std::string> found;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return found;
  for (ifaddrs* at = list; at; at = at->ifa_next) {
    if (!at->ifa_name || !at->ifa_addr || at->ifa_addr->sa_family != AF_INET) continue;
    if (!(at->ifa_flags & IFF_UP)) continue;
    const bool loopback = (at->ifa_flags & IFF_LOOPBACK) != 0;
    if (loopback ? !includeLoopback : !(at->ifa_flags & IFF_MULTICAST)) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(at->ifa_addr);
    if (!::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) continue;
    found.emplace(at->ifa_name, text);  // the first address of each interface
  }
  ::freeifaddrs(list);
  return found;
}

}  // namespace

class SsdpAnnouncer::Impl {
 public:
  explicit Impl(SsdpAnnouncement announcement) : announcement_(std::move(announcement)) {
    context_ = g_main_context_new();
    loop_ = g_main_loop_new(context_, FALSE);
    std::promise<void> running;
    std::future<void> started = running.get_future();
    thread_ = std::thread([this, &running] { Run(running); });
    started.wait();
  }

  ~Impl() {
    g_main_loop_quit(loop_);
    thread_.join();
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
  }

  std::vector<std::string> Locations() const {
    std::lock_guard hold(locationsLock_);
    return locations_;
  }

 private:
  // One interface served; announcer's thread only.
  struct Served {
    std::string address;
    GSSDPClient* client = nullptr;
    GSSDPResourceGroup* group = nullptr;
    ~Served() {
      if (group) g_object_unref(group);
      if (client) g_object_unref(client);
    }
  };

  void Run(std::promise<void>& running) {
    g_main_context_push_thread_default(context_);
    Look();
    GSource* timer = g_timeout_source_new_seconds(kLookSeconds);
    g_source_set_callback(
        timer,
        [](gpointer self) -> gboolean {
          static_cast<Impl*>(self)->Look();
          return G_SOURCE_CONTINUE;
        },
        this, nullptr);
    g_source_attach(timer, context_);
    // Told from inside the loop, so that a quit from the destructor always finds it running (a
    // quit before g_main_loop_run would be forgotten by it).
    GSource* started = g_idle_source_new();
    g_source_set_callback(
        started,
        [](gpointer promise) -> gboolean {
          static_cast<std::promise<void>*>(promise)->set_value();
          return G_SOURCE_REMOVE;
        },
        &running, nullptr);
    g_source_attach(started, context_);
    g_source_unref(started);
    g_main_loop_run(loop_);
    g_source_destroy(timer);
    g_source_unref(timer);
    SayFarewell();
    served_.clear();
    while (g_main_context_iteration(context_, FALSE)) {
    }
    g_main_context_pop_thread_default(context_);
    Publish();
  }

  std::string LocationOn(const std::string& address) const {
    return "http://" + address + ":" + std::to_string(announcement_.httpPort) +
           announcement_.descriptionPath;
  }

  // Serves the interfaces that came up (or changed address) and forgets those that went.
  void Look() {
    const std::map<std::string, std::string> up = InterfacesUp(announcement_.includeLoopback);
    std::erase_if(served_, [&up](const auto& entry) {
      const auto now = up.find(entry.first);
      return now == up.end() || now->second != entry.second->address;
    });
    for (const auto& [name, address] : up) {
      if (!served_.contains(name)) Serve(name, address);
    }
    Publish();
  }

  void Serve(const std::string& name, const std::string& address) {
    GInetAddress* inet = g_inet_address_new_from_string(address.c_str());
    GError* error = nullptr;
    auto served = std::make_unique<Served>();
    served->address = address;
    served->client = gssdp_client_new_full(name.c_str(), inet, 0, GSSDP_UDA_VERSION_1_0, &error);
    g_object_unref(inet);
    if (!served->client) {
      // Tried again at the next look; an interface without multicast stays unserved.
      if (error) g_error_free(error);
      return;
    }
    gssdp_client_set_server_id(served->client, kServerId);
    served->group = gssdp_resource_group_new(served->client);
    gssdp_resource_group_set_message_delay(served->group, kMessageDelayMilliseconds);
    const std::string udn = "uuid:" + announcement_.uuid;
    const std::string location = LocationOn(address);
    const auto add = [&](const std::string& target, const std::string& usn) {
      gssdp_resource_group_add_resource_simple(served->group, target.c_str(), usn.c_str(),
                                               location.c_str());
    };
    add("upnp:rootdevice", udn + "::upnp:rootdevice");
    add(udn, udn);
    add(announcement_.deviceType, udn + "::" + announcement_.deviceType);
    for (const std::string& type : announcement_.serviceTypes) add(type, udn + "::" + type);
    gssdp_resource_group_set_available(served->group, TRUE);
    served_[name] = std::move(served);
    if (announcement_.served) announcement_.served(name, location);
  }

  void SayFarewell() {
    if (served_.empty()) return;
    for (const auto& [name, served] : served_) {
      gssdp_resource_group_set_available(served->group, FALSE);
    }
    // The byebye messages wait in the groups' queues; give them a moment to leave.
    GMainLoop* farewell = g_main_loop_new(context_, FALSE);
    GSource* timer = g_timeout_source_new(kFarewellMilliseconds);
    g_source_set_callback(
        timer,
        [](gpointer loop) -> gboolean {
          g_main_loop_quit(static_cast<GMainLoop*>(loop));
          return G_SOURCE_REMOVE;
        },
        farewell, nullptr);
    g_source_attach(timer, context_);
    g_source_unref(timer);
    g_main_loop_run(farewell);
    g_main_loop_unref(farewell);
  }

  void Publish() {
    std::vector<std::string> locations;
    for (const auto& [name, served] : served_) locations.push_back(LocationOn(served->address));
    std::lock_guard hold(locationsLock_);
    locations_ = std::move(locations);
  }

  const SsdpAnnouncement announcement_;
  GMainContext* context_ = nullptr;  // made before the thread starts, freed after it ends
  GMainLoop* loop_ = nullptr;        // likewise; g_main_loop_quit is callable from any thread
  std::map<std::string, std::unique_ptr<Served>> served_;  // by interface; announcer's thread
  mutable std::mutex locationsLock_;                       // guards locations_
  std::vector<std::string> locations_;
  std::thread thread_;
};

SsdpAnnouncer::SsdpAnnouncer(SsdpAnnouncement announcement)
    : impl_(std::make_unique<Impl>(std::move(announcement))) {}

SsdpAnnouncer::~SsdpAnnouncer() = default;

std::vector<std::string> SsdpAnnouncer::Locations() const {
  return impl_->Locations();
}

}  // namespace vidoria
