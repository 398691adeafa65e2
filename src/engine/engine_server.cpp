// The engine's server controls, and the hand-over of the server's notifications to the main
// thread.
#include "engine/engine.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "upnp/bookmarks.h"
#include "upnp/descriptions.h"
#include "upnp/device_files.h"

namespace vidoria {

void Engine::SetServerNotifications(ServerNotifications notifications) {
  notifications_ = std::move(notifications);
}

void Engine::StartServer() {
  if (!server_) return;
  access_.SetCredentials(settings_.username, settings_.password);
  server_->StartServer(contentTypes_, PortValue(settings_.port));
}

void Engine::StopServer() {
  StopSharing();
  if (server_) server_->StopServer();
}

void Engine::SetSharing(bool on) {
  sharing_ = on;
  if (dataFolderOk_) {
    if (auto problem = WriteSharingSwitch(Stored(kSharingFileName), on)) Report(*problem);
  }
  if (on) {
    StartSharing();
  } else {
    StopSharing();
  }
}

void Engine::StartSharing() {
  if (!sharing_ || !dataFolderOk_ || closing_ || mediaServer_ || !Listening()) return;
  std::optional<std::string> problem;
  std::string uuid = DeviceUuid(Stored(kDeviceFileName), problem);
  if (problem) activity_.Add(*problem);
  if (uuid.empty()) return;
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) std::strcpy(host, "this computer");
  MediaServerOptions options;
  options.friendlyName = FriendlyName(host);
  options.uuid = std::move(uuid);
  options.mediaPort = std::atoi(ListeningPort().c_str());
  options.library = [this] { return library_.Current(); };
  options.listingAllowed = [this] { return !access_.loginRequired.load(); };
  options.siteGeneration = &siteGeneration_;
  options.mediaFacts = &mediaFacts_;
  options.bookmarksFile = Stored(kBookmarksFileName);
  options.report = [this](const std::string& line) { activity_.Add(line); };
  mediaServer_ = std::make_unique<MediaServer>(std::move(options));
}

void Engine::StopSharing() {
  mediaServer_.reset();
}

bool Engine::Listening() const {
  return server_ && server_->Listening();
}

std::string Engine::ListeningPort() const {
  return server_ ? server_->LocalPort() : std::string();
}

uint64_t Engine::TakeBytesSent() {
  return server_ ? server_->TakeBytesSent() : 0;
}

// Request threads never wait for the main thread: a window busy generating pages must not hold
// up every connection. What they report is queued and handed over by the next Tick().
void Engine::Notify(std::function<void()> toMainThread) {
  {
    std::lock_guard lock(pendingLock_);
    pending_.push_back(std::move(toMainThread));
  }
  if (options_.wake) options_.wake();
}

void Engine::DeliverServerNotifications() {
  std::deque<std::function<void()>> due;
  {
    std::lock_guard lock(pendingLock_);
    due.swap(pending_);
  }
  for (auto& notification : due) notification();
}

}  // namespace vidoria
