// The engine's server controls, and the hand-over of the server's notifications to the main
// thread.
#include "engine/engine.h"

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
  if (server_) server_->StopServer();
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
