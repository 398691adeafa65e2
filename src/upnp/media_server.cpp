#include "upnp/media_server.h"

#include <ifaddrs.h>
#include <libgupnp/gupnp.h>
#include <net/if.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/atomic_write.h"
#include "upnp/bookmarks.h"
#include "upnp/browse.h"
#include "upnp/control_connections.h"
#include "upnp/control_port.h"
#include "upnp/descriptions.h"
#include "upnp/device_icon.h"
#include "upnp/didl.h"
#include "upnp/update_counter.h"
#include "web/host_roots.h"

namespace vidoria {

namespace {

// Whether the network device is a loopback device. Interfaces come and go; a name no longer
// known counts as one, so nothing is announced on it.
bool IsLoopbackDevice(const char* name) {
  if (!name) return true;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return true;
  bool loopback = true;
  for (ifaddrs* at = list; at; at = at->ifa_next) {
    if (at->ifa_name && std::strcmp(at->ifa_name, name) == 0) {
      loopback = (at->ifa_flags & IFF_LOOPBACK) != 0;
      break;
    }
  }
  ::freeifaddrs(list);
  return loopback;
}

std::string Text(const char* value) {
  return value ? std::string(value) : std::string();
}

// How long the devices' last messages (byebye) get to leave when sharing stops.
constexpr guint kFarewellMilliseconds = 300;
// Between two queued SSDP messages of one device; gssdp's default spaces them 120 ms apart, so
// that four announcements take half a second. A smaller gap still keeps bursts apart.
constexpr guint kMessageDelayMilliseconds = 20;

}  // namespace

class MediaServer::Impl {
 public:
  explicit Impl(MediaServerOptions options);
  ~Impl();
  void SiteChanged();
  std::vector<std::string> DescriptionUrls() const {
    std::lock_guard lock(urlsLock_);
    return urls_;
  }

 private:
  // One root device per interface; owned by the server's thread.
  struct Device {
    Impl* owner = nullptr;
    GUPnPContext* context = nullptr;  // not owned
    GUPnPRootDevice* root = nullptr;
    GUPnPServiceInfo* contentDirectory = nullptr;
    GUPnPServiceInfo* connectionManager = nullptr;
    GUPnPServiceInfo* registrar = nullptr;
    std::string mediaBase;  // "http://<this interface's address>:<web port>"
    std::unique_ptr<CloseAfterEachAnswer> closing;  // goes before the context's server
    ~Device() {
      if (contentDirectory) g_object_unref(contentDirectory);
      if (connectionManager) g_object_unref(connectionManager);
      if (registrar) g_object_unref(registrar);
      if (root) g_object_unref(root);
    }
  };

  void Run(std::promise<void>& running);
  bool WriteDescriptions();
  void AddDevice(GUPnPContext* context);
  void RemoveDevice(GUPnPContext* context);
  void PublishUrls();
  void SayFarewell();
  // The tree for the site's latest generation, rebuilt when the site changed; tells whether what
  // a TV is shown changed with it (and the update id moved).
  const MediaTree& Tree(bool* changed = nullptr);
  void StartWarmUp();
  static gboolean WarmUpSome(gpointer self);
  uint32_t Generation() const {
    return options_.siteGeneration ? options_.siteGeneration->load() : 0;
  }
  uint32_t UpdateId() {
    Tree();
    return updateCounter_.Value();
  }
  void Report(const std::string& line) {
    if (options_.report) options_.report(line);
  }

  static void OnContextAvailable(GUPnPContextManager*, GUPnPContext* context, gpointer self);
  static void OnContextUnavailable(GUPnPContextManager*, GUPnPContext* context, gpointer self);
  // The listing for Browse and Search, or its fault.
  void AnswerListing(GUPnPServiceAction* action, const BrowseAnswer& answer);
  // With "Require login" on, a TV sees empty folders.
  bool ListingAllowed() const { return !options_.listingAllowed || options_.listingAllowed(); }
  static void OnBrowse(GUPnPService*, GUPnPServiceAction* action, gpointer device);
  static void OnSearch(GUPnPService*, GUPnPServiceAction* action, gpointer device);
  static void OnFeatureList(GUPnPService*, GUPnPServiceAction* action, gpointer device);
  static void OnSetBookmark(GUPnPService*, GUPnPServiceAction* action, gpointer device);
  static void OnSystemUpdateId(GUPnPService*, GUPnPServiceAction* action, gpointer device);
  static void OnCapabilities(GUPnPService*, GUPnPServiceAction* action, gpointer device);
  static void OnProtocolInfo(GUPnPService*, GUPnPServiceAction* action, gpointer device);
  static void OnConnectionIds(GUPnPService*, GUPnPServiceAction* action, gpointer device);
  static void OnConnectionInfo(GUPnPService*, GUPnPServiceAction* action, gpointer device);
  static void OnRegistrarQuestion(GUPnPService*, GUPnPServiceAction* action, gpointer device);
  static void OnRegisterDevice(GUPnPService*, GUPnPServiceAction* action, gpointer device);
  static void OnQueryVariable(GUPnPService*, char* variable, GValue* value, gpointer device);

  const MediaServerOptions options_;
  GMainContext* mainContext_ = nullptr;  // set before the thread starts, freed after it ends
  GMainLoop* loop_ = nullptr;            // likewise; g_main_loop_quit is callable from any thread
  // Server thread only:
  std::string folder_;  // the descriptions, in a temporary folder of their own
  GUPnPContextManager* manager_ = nullptr;
  std::vector<std::unique_ptr<Device>> devices_;
  std::unique_ptr<MediaTree> tree_;
  uint32_t treeGeneration_ = 0;
  UpdateCounter updateCounter_;
  std::unique_ptr<Bookmarks> bookmarks_;  // made on the server's thread as it starts
  // The videos whose movie boxes are still to be read into options_.mediaFacts, a few at a time
  // while the loop is otherwise idle, so that a TV's first Browse after a rescan rarely waits
  // for them.
  std::vector<std::string> warmUp_;
  GSource* warmUpSource_ = nullptr;

  mutable std::mutex urlsLock_;  // guards urls_
  std::vector<std::string> urls_;
  std::thread thread_;
};

MediaServer::Impl::Impl(MediaServerOptions options) : options_(std::move(options)) {
  mainContext_ = g_main_context_new();
  loop_ = g_main_loop_new(mainContext_, FALSE);
  std::promise<void> running;
  std::future<void> started = running.get_future();
  thread_ = std::thread([this, &running] { Run(running); });
  started.wait();
}

MediaServer::Impl::~Impl() {
  g_main_loop_quit(loop_);
  thread_.join();
  g_main_loop_unref(loop_);
  g_main_context_unref(mainContext_);
}

void MediaServer::Impl::Run(std::promise<void>& running) {
  g_main_context_push_thread_default(mainContext_);
  // Told from inside the loop, so that a quit from the destructor always finds it running.
  GSource* idle = g_idle_source_new();
  g_source_set_callback(
      idle,
      [](gpointer promise) -> gboolean {
        static_cast<std::promise<void>*>(promise)->set_value();
        return G_SOURCE_REMOVE;
      },
      &running, nullptr);
  g_source_attach(idle, mainContext_);
  g_source_unref(idle);

  bookmarks_ = std::make_unique<Bookmarks>(options_.bookmarksFile);
  if (WriteDescriptions()) {
    manager_ = gupnp_context_manager_create_full(GSSDP_UDA_VERSION_1_0, G_SOCKET_FAMILY_IPV4,
                                                 ControlPortFor(options_.mediaPort));
    g_signal_connect(manager_, "context-available", G_CALLBACK(OnContextAvailable), this);
    g_signal_connect(manager_, "context-unavailable", G_CALLBACK(OnContextUnavailable), this);
  }
  // The tree, and with it the reading of the videos' facts, before the first TV asks.
  GSource* build = g_idle_source_new();
  g_source_set_priority(build, G_PRIORITY_LOW);
  g_source_set_callback(
      build,
      [](gpointer self) -> gboolean {
        static_cast<Impl*>(self)->Tree();
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
  g_source_attach(build, mainContext_);
  g_source_unref(build);
  g_main_loop_run(loop_);

  if (warmUpSource_) {
    g_source_destroy(warmUpSource_);
    g_source_unref(warmUpSource_);
    warmUpSource_ = nullptr;
  }
  SayFarewell();
  devices_.clear();
  if (manager_) g_object_unref(manager_);
  manager_ = nullptr;
  while (g_main_context_iteration(mainContext_, FALSE)) {
  }
  g_main_context_pop_thread_default(mainContext_);
  if (!folder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  PublishUrls();
}

bool MediaServer::Impl::WriteDescriptions() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vidoria-upnp-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    Report("Sharing with TVs failed: cannot create a temporary folder (" +
           std::string(std::strerror(errno)) + ").");
    return false;
  }
  folder_ = pattern + "/";
  const std::string description = DeviceDescription(options_.friendlyName, options_.uuid);
  const std::pair<std::string_view, std::string_view> files[] = {
      {kDescriptionFile, description},
      {kContentDirectoryFile, ContentDirectoryDescription()},
      {kConnectionManagerFile, ConnectionManagerDescription()},
      {kRegistrarFile, RegistrarDescription()}};
  for (const auto& [name, text] : files) {
    if (const auto status = WriteFileAtomically(folder_ + std::string(name), text); !status) {
      Report("Sharing with TVs failed: " + std::string(name) + " " + status.Error().Text());
      return false;
    }
  }
  for (const int size : kIconSizes) {
    // Without its icon a TV shows a generic one; sharing goes on.
    if (const auto status = WriteFileAtomically(folder_ + IconFileName(size), DeviceIconPng(size));
        !status) {
      Report("Sharing with TVs without an icon: " + status.Error().Text());
    }
  }
  return true;
}

void MediaServer::Impl::OnContextAvailable(GUPnPContextManager*, GUPnPContext* context,
                                           gpointer self) {
  static_cast<Impl*>(self)->AddDevice(context);
}

void MediaServer::Impl::OnContextUnavailable(GUPnPContextManager*, GUPnPContext* context,
                                             gpointer self) {
  static_cast<Impl*>(self)->RemoveDevice(context);
}

void MediaServer::Impl::AddDevice(GUPnPContext* context) {
  const char* interface = gssdp_client_get_interface(GSSDP_CLIENT(context));
  if (!options_.includeLoopback && IsLoopbackDevice(interface)) return;
  GError* error = nullptr;
  auto device = std::make_unique<Device>();
  device->owner = this;
  device->context = context;
  device->root = gupnp_root_device_new(context, std::string(kDescriptionFile).c_str(),
                                       folder_.c_str(), &error);
  if (!device->root) {
    Report("Sharing with TVs failed on " + Text(interface) + ": " +
           (error ? error->message : "no device"));
    if (error) g_error_free(error);
    return;
  }
  device->closing = std::make_unique<CloseAfterEachAnswer>(gupnp_context_get_server(context));
  device->mediaBase = "http://" + Text(gssdp_client_get_host_ip(GSSDP_CLIENT(context))) + ":" +
                      std::to_string(options_.mediaPort);
  GUPnPDeviceInfo* info = GUPNP_DEVICE_INFO(device->root);
  device->contentDirectory =
      gupnp_device_info_get_service(info, std::string(kContentDirectoryType).c_str());
  device->connectionManager =
      gupnp_device_info_get_service(info, std::string(kConnectionManagerType).c_str());
  device->registrar = gupnp_device_info_get_service(info, std::string(kRegistrarType).c_str());
  if (!device->contentDirectory || !device->connectionManager || !device->registrar) {
    Report("Sharing with TVs failed on " + Text(interface) + ": the services are missing");
    return;
  }
  const struct {
    GUPnPServiceInfo* service;
    const char* signal;
    GCallback handler;
  } handlers[] = {
      {device->contentDirectory, "action-invoked::Browse", G_CALLBACK(OnBrowse)},
      {device->contentDirectory, "action-invoked::Search", G_CALLBACK(OnSearch)},
      {device->contentDirectory, "action-invoked::X_GetFeatureList", G_CALLBACK(OnFeatureList)},
      {device->contentDirectory, "action-invoked::X_SetBookmark", G_CALLBACK(OnSetBookmark)},
      {device->contentDirectory, "action-invoked::GetSystemUpdateID", G_CALLBACK(OnSystemUpdateId)},
      {device->contentDirectory, "action-invoked::GetSearchCapabilities",
       G_CALLBACK(OnCapabilities)},
      {device->contentDirectory, "action-invoked::GetSortCapabilities", G_CALLBACK(OnCapabilities)},
      {device->contentDirectory, "query-variable", G_CALLBACK(OnQueryVariable)},
      {device->connectionManager, "action-invoked::GetProtocolInfo", G_CALLBACK(OnProtocolInfo)},
      {device->connectionManager, "action-invoked::GetCurrentConnectionIDs",
       G_CALLBACK(OnConnectionIds)},
      {device->connectionManager, "action-invoked::GetCurrentConnectionInfo",
       G_CALLBACK(OnConnectionInfo)},
      {device->connectionManager, "query-variable", G_CALLBACK(OnQueryVariable)},
      {device->registrar, "action-invoked::IsAuthorized", G_CALLBACK(OnRegistrarQuestion)},
      {device->registrar, "action-invoked::IsValidated", G_CALLBACK(OnRegistrarQuestion)},
      {device->registrar, "action-invoked::RegisterDevice", G_CALLBACK(OnRegisterDevice)},
      {device->registrar, "query-variable", G_CALLBACK(OnQueryVariable)},
  };
  for (const auto& h : handlers) g_signal_connect(h.service, h.signal, h.handler, device.get());
  gssdp_resource_group_set_message_delay(gupnp_root_device_get_ssdp_resource_group(device->root),
                                         kMessageDelayMilliseconds);
  gupnp_root_device_set_available(device->root, TRUE);
  Report("Sharing with TVs as \"" + options_.friendlyName + "\" on " + Text(interface) + " (" +
         Text(gupnp_device_info_get_location(info)) + ")");
  devices_.push_back(std::move(device));
  PublishUrls();
}

void MediaServer::Impl::RemoveDevice(GUPnPContext* context) {
  std::erase_if(devices_, [context](const auto& device) { return device->context == context; });
  PublishUrls();
}

void MediaServer::Impl::PublishUrls() {
  std::vector<std::string> urls;
  for (const auto& device : devices_) {
    urls.push_back(Text(gupnp_device_info_get_location(GUPNP_DEVICE_INFO(device->root))));
  }
  std::lock_guard lock(urlsLock_);
  urls_ = std::move(urls);
}

void MediaServer::Impl::SayFarewell() {
  if (devices_.empty()) return;
  for (const auto& device : devices_) gupnp_root_device_set_available(device->root, FALSE);
  // The byebye messages wait in the devices' queues; give them a moment to leave.
  GMainLoop* farewell = g_main_loop_new(mainContext_, FALSE);
  GSource* timer = g_timeout_source_new(kFarewellMilliseconds);
  g_source_set_callback(
      timer,
      [](gpointer loop) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
        return G_SOURCE_REMOVE;
      },
      farewell, nullptr);
  g_source_attach(timer, mainContext_);
  g_source_unref(timer);
  g_main_loop_run(farewell);
  g_main_loop_unref(farewell);
}

void MediaServer::Impl::SiteChanged() {
  g_main_context_invoke(
      mainContext_,
      [](gpointer self) -> gboolean {
        auto* impl = static_cast<Impl*>(self);
        bool changed = false;
        impl->Tree(&changed);
        if (!changed) return G_SOURCE_REMOVE;
        for (const auto& device : impl->devices_) {
          gupnp_service_notify(GUPNP_SERVICE(device->contentDirectory), "SystemUpdateID",
                               G_TYPE_UINT, impl->UpdateId(), nullptr);
        }
        return G_SOURCE_REMOVE;
      },
      this);
}

const MediaTree& MediaServer::Impl::Tree(bool* changed) {
  // The count first, then the snapshot: the engine publishes before it counts, so the snapshot
  // is at least as new as the count the tree is kept for.
  const uint32_t generation = Generation();
  if (changed) *changed = false;
  if (!tree_ || generation != treeGeneration_) {
    const std::shared_ptr<const LibraryView> view = options_.library();
    tree_ = std::make_unique<MediaTree>(view->libraryTable, view->playlistTable,
                                        [](const std::string& path) -> std::optional<int64_t> {
                                          const int64_t size = FileSizeOf(path);
                                          if (size < 0) return std::nullopt;
                                          return size;
                                        });
    treeGeneration_ = generation;
    const bool moved = updateCounter_.Observe(tree_->Fingerprint());
    if (changed) *changed = moved;
    StartWarmUp();
  }
  return *tree_;
}

void MediaServer::Impl::StartWarmUp() {
  if (!options_.mediaFacts) return;
  warmUp_.clear();
  // Every listed video is in the entire collection; the other containers list some of them.
  if (const MediaContainer* all = tree_->Container("library/all")) {
    for (auto item = all->items.rbegin(); item != all->items.rend(); ++item) {
      if (!item->path.empty()) warmUp_.push_back(item->path);
    }
  }
  if (warmUpSource_ || warmUp_.empty()) return;
  warmUpSource_ = g_idle_source_new();
  g_source_set_priority(warmUpSource_, G_PRIORITY_LOW);
  g_source_set_callback(warmUpSource_, WarmUpSome, this, nullptr);
  g_source_attach(warmUpSource_, mainContext_);
}

gboolean MediaServer::Impl::WarmUpSome(gpointer self) {
  auto* impl = static_cast<Impl*>(self);
  // A few files per turn, so that a request waits for at most a few movie boxes.
  constexpr int kFilesPerTurn = 4;
  for (int i = 0; i < kFilesPerTurn && !impl->warmUp_.empty(); ++i) {
    impl->options_.mediaFacts->Read(impl->warmUp_.back());
    impl->warmUp_.pop_back();
  }
  if (!impl->warmUp_.empty()) return G_SOURCE_CONTINUE;
  g_source_unref(impl->warmUpSource_);
  impl->warmUpSource_ = nullptr;
  return G_SOURCE_REMOVE;
}

namespace {

// The action's four text arguments `names`, or nullopt when one is missing. Numbers are taken as
// text: GLib would turn "ten" or "-1" into some number silently.
std::optional<std::array<std::string, 4>> TextArguments(GUPnPServiceAction* action,
                                                        const std::array<const char*, 4>& names) {
  std::array<char*, 4> values{};
  gupnp_service_action_get(action, names[0], G_TYPE_STRING, &values[0], names[1], G_TYPE_STRING,
                           &values[1], names[2], G_TYPE_STRING, &values[2], names[3], G_TYPE_STRING,
                           &values[3], nullptr);
  std::array<std::string, 4> texts;
  bool complete = true;
  for (size_t i = 0; i < values.size(); ++i) {
    complete = complete && values[i] != nullptr;
    texts[i] = Text(values[i]);
    g_free(values[i]);
  }
  if (!complete) return std::nullopt;
  return texts;
}

}  // namespace

void MediaServer::Impl::AnswerListing(GUPnPServiceAction* action, const BrowseAnswer& answer) {
  if (answer.error != 0) {
    gupnp_service_action_return_error(action, answer.error, answer.errorText.c_str());
    return;
  }
  gupnp_service_action_set(action, "Result", G_TYPE_STRING, answer.result.c_str(), "NumberReturned",
                           G_TYPE_UINT, answer.numberReturned, "TotalMatches", G_TYPE_UINT,
                           answer.totalMatches, "UpdateID", G_TYPE_UINT, UpdateId(), nullptr);
  gupnp_service_action_return_success(action);
}

void MediaServer::Impl::OnBrowse(GUPnPService*, GUPnPServiceAction* action, gpointer data) {
  auto* device = static_cast<Device*>(data);
  Impl& self = *device->owner;
  const auto texts =
      TextArguments(action, {"ObjectID", "BrowseFlag", "StartingIndex", "RequestedCount"});
  if (!texts) {
    gupnp_service_action_return_error(action, kInvalidArgs, "Invalid Args");
    return;
  }
  const BrowseArguments arguments{(*texts)[0], (*texts)[1], (*texts)[2], (*texts)[3]};
  self.AnswerListing(action, self.ListingAllowed()
                                 ? Browse(self.Tree(), arguments, device->mediaBase,
                                          self.options_.mediaFacts, self.bookmarks_.get())
                                 : NothingToBrowse());
}

void MediaServer::Impl::OnSearch(GUPnPService*, GUPnPServiceAction* action, gpointer data) {
  auto* device = static_cast<Device*>(data);
  Impl& self = *device->owner;
  const auto texts =
      TextArguments(action, {"ContainerID", "SearchCriteria", "StartingIndex", "RequestedCount"});
  if (!texts) {
    gupnp_service_action_return_error(action, kInvalidArgs, "Invalid Args");
    return;
  }
  const SearchArguments arguments{(*texts)[0], (*texts)[1], (*texts)[2], (*texts)[3]};
  self.AnswerListing(action, self.ListingAllowed()
                                 ? Search(self.Tree(), arguments, device->mediaBase,
                                          self.options_.mediaFacts, self.bookmarks_.get())
                                 : NothingToBrowse());
}

void MediaServer::Impl::OnFeatureList(GUPnPService*, GUPnPServiceAction* action, gpointer) {
  gupnp_service_action_set(action, "FeatureList", G_TYPE_STRING, std::string(FeatureList()).c_str(),
                           nullptr);
  gupnp_service_action_return_success(action);
}

void MediaServer::Impl::OnSetBookmark(GUPnPService*, GUPnPServiceAction* action, gpointer data) {
  Impl& self = *static_cast<Device*>(data)->owner;
  char* objectId = nullptr;
  char* position = nullptr;
  gupnp_service_action_get(action, "ObjectID", G_TYPE_STRING, &objectId, "PosSecond", G_TYPE_STRING,
                           &position, nullptr);
  const std::string id = Text(objectId);
  const std::optional<uint32_t> seconds = ParseUi4(Text(position));
  g_free(objectId);
  g_free(position);
  if (!seconds) {
    gupnp_service_action_return_error(action, kInvalidArgs, "Invalid Args");
    return;
  }
  const auto item = self.Tree().Item(id);
  if (!item || item->container->items[item->index].path.empty()) {
    gupnp_service_action_return_error(action, kNoSuchObject, "No such object");
    return;
  }
  if (auto problem = self.bookmarks_->Set(item->container->items[item->index].path, *seconds)) {
    self.Report("A TV's bookmark was not stored: " + *problem);
  }
  gupnp_service_action_return_success(action);
}

void MediaServer::Impl::OnSystemUpdateId(GUPnPService*, GUPnPServiceAction* action, gpointer data) {
  Impl& self = *static_cast<Device*>(data)->owner;
  gupnp_service_action_set(action, "Id", G_TYPE_UINT, self.UpdateId(), nullptr);
  gupnp_service_action_return_success(action);
}

void MediaServer::Impl::OnCapabilities(GUPnPService*, GUPnPServiceAction* action, gpointer) {
  // Searching by title and class; no sorting: the order is the phone site's.
  const char* name = gupnp_service_action_get_name(action);
  const bool search = std::strcmp(name, "GetSearchCapabilities") == 0;
  gupnp_service_action_set(action, search ? "SearchCaps" : "SortCaps", G_TYPE_STRING,
                           search ? std::string(kSearchCapabilities).c_str() : "", nullptr);
  gupnp_service_action_return_success(action);
}

void MediaServer::Impl::OnProtocolInfo(GUPnPService*, GUPnPServiceAction* action, gpointer) {
  gupnp_service_action_set(action, "Source", G_TYPE_STRING, std::string(kVideoProtocolInfo).c_str(),
                           "Sink", G_TYPE_STRING, "", nullptr);
  gupnp_service_action_return_success(action);
}

void MediaServer::Impl::OnConnectionIds(GUPnPService*, GUPnPServiceAction* action, gpointer) {
  gupnp_service_action_set(action, "ConnectionIDs", G_TYPE_STRING, "0", nullptr);
  gupnp_service_action_return_success(action);
}

void MediaServer::Impl::OnConnectionInfo(GUPnPService*, GUPnPServiceAction* action, gpointer) {
  char* id = nullptr;
  gupnp_service_action_get(action, "ConnectionID", G_TYPE_STRING, &id, nullptr);
  const bool known = id && std::string_view(id) == "0";
  g_free(id);
  if (!known) {
    gupnp_service_action_return_error(action, 706, "Invalid connection reference");
    return;
  }
  gupnp_service_action_set(action, "RcsID", G_TYPE_INT, -1, "AVTransportID", G_TYPE_INT, -1,
                           "ProtocolInfo", G_TYPE_STRING, "", "PeerConnectionManager",
                           G_TYPE_STRING, "", "PeerConnectionID", G_TYPE_INT, -1, "Direction",
                           G_TYPE_STRING, "Output", "Status", G_TYPE_STRING, "OK", nullptr);
  gupnp_service_action_return_success(action);
}

void MediaServer::Impl::OnRegistrarQuestion(GUPnPService*, GUPnPServiceAction* action, gpointer) {
  // Every device is authorised and valid: the login, not the registrar, protects the listing.
  gupnp_service_action_set(action, "Result", G_TYPE_INT, 1, nullptr);
  gupnp_service_action_return_success(action);
}

void MediaServer::Impl::OnRegisterDevice(GUPnPService*, GUPnPServiceAction* action, gpointer) {
  gupnp_service_action_set(action, "RegistrationRespMsg", G_TYPE_STRING, "", nullptr);
  gupnp_service_action_return_success(action);
}

void MediaServer::Impl::OnQueryVariable(GUPnPService*, char* variable, GValue* value,
                                        gpointer data) {
  Impl& self = *static_cast<Device*>(data)->owner;
  const std::string name = Text(variable);
  if (name == "SystemUpdateID") {
    g_value_init(value, G_TYPE_UINT);
    g_value_set_uint(value, self.UpdateId());
  } else if (name.ends_with("UpdateID")) {
    // The registrar's counters: no authorisation ever changes.
    g_value_init(value, G_TYPE_UINT);
    g_value_set_uint(value, 0);
  } else if (name == "SourceProtocolInfo" || name == "SinkProtocolInfo" ||
             name == "CurrentConnectionIDs") {
    g_value_init(value, G_TYPE_STRING);
    const std::string text = name == "SourceProtocolInfo"     ? std::string(kVideoProtocolInfo)
                             : name == "CurrentConnectionIDs" ? "0"
                                                              : "";
    g_value_set_string(value, text.c_str());
  }
}

MediaServer::MediaServer(MediaServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

MediaServer::~MediaServer() = default;

void MediaServer::SiteChanged() {
  impl_->SiteChanged();
}

std::vector<std::string> MediaServer::DescriptionUrls() const {
  return impl_->DescriptionUrls();
}

}  // namespace vidoria
