#include "upnp/media_server.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "server/connection.h"
#include "server/http_server.h"
#include "upnp/bookmarks.h"
#include "upnp/control_port.h"
#include "upnp/descriptions.h"
#include "upnp/device_actions.h"
#include "upnp/device_icon.h"
#include "upnp/device_provider.h"
#include "upnp/ssdp_announcer.h"

namespace vidoria {

namespace {

// A TV sends its request as soon as it connects and polls every few seconds at most; a
// connection silent for longer is closed.
constexpr int kIdleSeconds = 15;
// Open connections to the device port at most: a few per TV. Past it a new one is closed at once,
// so a flood cannot take the descriptors the web server and the saves need.
constexpr int kMaxConnections = 256;
constexpr auto kListenWait = std::chrono::seconds(10);
constexpr std::string_view kXml = "text/xml; charset=\"utf-8\"";
constexpr std::string_view kContentDirectoryId = "ContentDirectory";

std::string Path(std::string_view file) {
  return "/" + std::string(file);
}

}  // namespace

class MediaServer::Impl {
 public:
  explicit Impl(MediaServerOptions options);
  ~Impl();
  void SiteChanged();
  std::vector<std::string> DescriptionUrls() const {
    return announcer_ ? announcer_->Locations() : std::vector<std::string>();
  }

 private:
  std::map<std::string, DeviceFile> Files() const;
  std::vector<DeviceService> Services();
  void SetUpHttp();
  // Listens on `port` (0: any); false when the system refused it.
  bool Listen(int port);
  void Work();
  void Report(const std::string& line) const {
    if (options_.report) options_.report(line);
  }

  const MediaServerOptions options_;
  Bookmarks bookmarks_;       // thread-safe
  ContentDirectory content_;  // thread-safe
  // Declared before the HTTP server, so that it outlives the server's connections.
  std::unique_ptr<DeviceProvider> provider_;
  HttpServer http_;
  std::unique_ptr<SsdpAnnouncer> announcer_;  // owner's thread

  enum class ListenState { kWaiting, kListening, kFailed };
  std::mutex listenLock_;  // guards listenState_
  std::condition_variable listenChanged_;
  ListenState listenState_ = ListenState::kWaiting;

  // The worker builds the tree after each change of the site, tells subscribers when what a TV
  // sees changed, and reads the listed videos' movie boxes while nothing else is to do, so that
  // a TV's first Browse after a rescan rarely waits for them.
  std::mutex workLock_;  // guards the three fields below
  std::condition_variable workWake_;
  bool siteChanged_ = true;
  bool stopping_ = false;
  std::vector<std::string> warmUp_;  // videos still to read, the next one last
  std::thread worker_;
};

MediaServer::Impl::Impl(MediaServerOptions options)
    : options_(std::move(options)),
      bookmarks_(options_.bookmarksFile),
      content_(ContentSources{options_.library, options_.listingAllowed, options_.siteGeneration,
                              options_.mediaFacts, &bookmarks_, options_.mediaPort,
                              options_.report}) {
  provider_ = std::make_unique<DeviceProvider>(Files(), Services());
  SetUpHttp();
  worker_ = std::thread([this] { Work(); });
  // The port beside the web server's, so that a firewall opens two neighbours; any free one
  // when another program holds it.
  const int pinned = ControlPortFor(options_.mediaPort);
  if (!(pinned != 0 && Listen(pinned)) && !Listen(0)) {
    Report("Sharing with TVs failed: no port to answer them on.");
    return;
  }
  SsdpAnnouncement announcement;
  announcement.uuid = options_.uuid;
  announcement.deviceType = std::string(kMediaServerType);
  announcement.serviceTypes = {std::string(kContentDirectoryType),
                               std::string(kConnectionManagerType), std::string(kRegistrarType)};
  announcement.httpPort = std::atoi(http_.LocalPort().c_str());
  announcement.descriptionPath = Path(kDescriptionFile);
  announcement.includeLoopback = options_.includeLoopback;
  announcement.served = [this](const std::string& interface, const std::string& location) {
    Report("Sharing with TVs as \"" + options_.friendlyName + "\" on " + interface + " (" +
           location + ")");
  };
  announcer_ = std::make_unique<SsdpAnnouncer>(std::move(announcement));
}

MediaServer::Impl::~Impl() {
  announcer_.reset();  // byebye while the descriptions are still served
  {
    std::lock_guard hold(workLock_);
    stopping_ = true;
  }
  workWake_.notify_all();
  worker_.join();
  http_.StopListen();
  // The server's destructor waits for its connections; the provider goes after it.
}

std::map<std::string, DeviceFile> MediaServer::Impl::Files() const {
  std::map<std::string, DeviceFile> files{
      {Path(kDescriptionFile),
       {std::string(kXml), DeviceDescription(options_.friendlyName, options_.uuid)}},
      {Path(kContentDirectoryFile),
       {std::string(kXml), std::string(ContentDirectoryDescription())}},
      {Path(kConnectionManagerFile),
       {std::string(kXml), std::string(ConnectionManagerDescription())}},
      {Path(kRegistrarFile), {std::string(kXml), std::string(RegistrarDescription())}}};
  for (const int size : kIconSizes) {
    files[Path(IconFileName(size))] = {"image/png", DeviceIconPng(size)};
  }
  return files;
}

std::vector<DeviceService> MediaServer::Impl::Services() {
  return {
      {std::string(kContentDirectoryId), std::string(kContentDirectoryType),
       [this](const SoapCall& call, const std::string& local) { return content_.Act(call, local); },
       [this] { return content_.Evented(); }},
      {"ConnectionManager", std::string(kConnectionManagerType),
       [](const SoapCall& call, const std::string&) { return ConnectionManagerAct(call); },
       [] { return ConnectionManagerEvented(); }},
      {"X_MS_MediaReceiverRegistrar", std::string(kRegistrarType),
       [](const SoapCall& call, const std::string&) { return RegistrarAct(call); },
       [] { return RegistrarEvented(); }},
  };
}

void MediaServer::Impl::SetUpHttp() {
  http_.SetMultiThreaded(true);
  http_.timeout.afterConnecting = kIdleSeconds;
  http_.serverConnectionLimit = kMaxConnections;
  http_.maxRequestSize = 16000;
  http_.maxHeaderSize = 16000;
  http_.restartOn.listenLost = true;
  http_.onInvalidRequest = [](Connection& c) {
    c.Response().Status(400, "Bad Request");
    c.Write("");
    c.Disconnect();
  };
  const auto tell = [this](ListenState state) {
    {
      std::lock_guard hold(listenLock_);
      listenState_ = state;
    }
    listenChanged_.notify_all();
  };
  http_.onListenStart = [tell](HttpServer&) { tell(ListenState::kListening); };
  http_.onListenError = [tell](HttpServer&, const std::exception&) { tell(ListenState::kFailed); };
  provider_->SetServer(&http_);
}

bool MediaServer::Impl::Listen(int port) {
  {
    std::lock_guard hold(listenLock_);
    listenState_ = ListenState::kWaiting;
  }
  http_.serverPort = std::to_string(port);
  http_.Listen();
  std::unique_lock hold(listenLock_);
  listenChanged_.wait_for(hold, kListenWait,
                          [this] { return listenState_ != ListenState::kWaiting; });
  return listenState_ == ListenState::kListening;
}

void MediaServer::Impl::SiteChanged() {
  {
    std::lock_guard hold(workLock_);
    siteChanged_ = true;
  }
  workWake_.notify_all();
}

void MediaServer::Impl::Work() {
  std::unique_lock hold(workLock_);
  while (true) {
    workWake_.wait(hold, [this] { return stopping_ || siteChanged_ || !warmUp_.empty(); });
    if (stopping_) return;
    if (siteChanged_) {
      siteChanged_ = false;
      hold.unlock();
      if (content_.Refresh())
        provider_->Notify(std::string(kContentDirectoryId), content_.Evented());
      std::vector<std::string> videos;
      // Every listed video is in the entire collection; the other containers list some of them.
      if (options_.mediaFacts) {
        const std::shared_ptr<const MediaTree> tree = content_.Tree();
        if (const MediaContainer* all = tree->Container("library/all")) {
          for (auto item = all->items.rbegin(); item != all->items.rend(); ++item) {
            if (!item->path.empty()) videos.push_back(item->path);
          }
        }
      }
      hold.lock();
      warmUp_ = std::move(videos);
      continue;
    }
    const std::string video = std::move(warmUp_.back());
    warmUp_.pop_back();
    hold.unlock();
    options_.mediaFacts->Read(video);
    hold.lock();
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
