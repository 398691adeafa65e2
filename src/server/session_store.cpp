#include "server/session_store.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "server/exceptions.h"

namespace vidoria {

std::string NewSessionId() {
  unsigned char bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {};
    got += static_cast<size_t>(n);
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);  // variant 1
  static const char* hex = "0123456789abcdef";
  std::string id;
  for (unsigned char b : bytes) {
    id += hex[b >> 4];
    id += hex[b & 15];
  }
  return id;
}

SessionStore::SessionStore(Clock clock) : clock_(std::move(clock)) {}

SessionStore::~SessionStore() = default;

ServerSession* SessionStore::Open(uint8_t lockMode, const std::string& peerAddr,
                                  const std::string& forwardedFor) {
  auto session = std::make_unique<ServerSession>();
  session->lockMode = lockMode;
  session->peerAddr = peerAddr;
  session->forwardedFor = forwardedFor;
  session->id = NewSessionId();
  if (session->id.empty()) throw EConnection("Unable to initialize session");
  session->created = session->lastUsed = clock_();
  std::lock_guard lock(mu_);
  ServerSession* raw = session.get();
  inUse_.emplace(raw->id, std::move(session));
  return raw;
}

std::string SessionStore::ExpiryKey(const ServerSession& session) {
  // yyyymmddhhnnsszzz then the ID: the map keeps idle sessions in order of expiry.
  const auto since = session.expires.time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm t{};
  ::gmtime_r(&seconds, &t);
  char key[64];
  std::snprintf(key, sizeof key, "%04d%02d%02d%02d%02d%02d%03d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(ms % 1000));
  return key + session.id;
}

void SessionStore::SetExpiry(ServerSession& session, ServerSession::Time now) {
  session.lastUsed = now;
  const int keepAlive = session.keepAlive > 0 ? session.keepAlive : kSessionKeepAliveDefault;
  session.expires = now + std::chrono::seconds(keepAlive);
  if (session.finalExpiry != ServerSession::Time{} && session.finalExpiry < session.expires) {
    session.expires = session.finalExpiry;
  }
}

void SessionStore::PurgeExpired(ServerSession::Time now, const CloseHandler& onClose) {
  while (!byExpiry_.empty()) {
    auto first = byExpiry_.begin();
    auto it = idle_.find(first->second);
    if (it != idle_.end() && it->second->expires > now) break;
    std::unique_ptr<ServerSession> closing;
    if (it != idle_.end()) {
      closing = std::move(it->second);
      idle_.erase(it);
    }
    byExpiry_.erase(first);
    if (closing && onClose) onClose(*closing);
  }
}

void SessionStore::Release(ServerSession* session, const CloseHandler& onClose) {
  if (session == nullptr) return;
  const auto now = clock_();
  std::lock_guard lock(mu_);
  auto it = inUse_.find(session->id);
  if (it == inUse_.end() || it->second.get() != session) return;
  SetExpiry(*session, now);
  PurgeExpired(now, onClose);
  std::unique_ptr<ServerSession> released = std::move(it->second);
  inUse_.erase(it);
  if (released->expires <= now) {
    if (onClose) onClose(*released);
    return;
  }
  byExpiry_.emplace(ExpiryKey(*released), released->id);
  idle_.emplace(released->id, std::move(released));
}

bool SessionStore::Refresh(const std::string& id,
                           const std::function<bool(const ServerSession&)>& accept) {
  if (id.empty()) return false;
  const auto now = clock_();
  std::lock_guard lock(mu_);
  if (auto it = inUse_.find(id); it != inUse_.end()) return accept(*it->second);
  auto it = idle_.find(id);
  if (it == idle_.end() || it->second->expires <= now || !accept(*it->second)) return false;
  ServerSession& session = *it->second;
  byExpiry_.erase(ExpiryKey(session));
  SetExpiry(session, now);
  byExpiry_.emplace(ExpiryKey(session), session.id);
  return true;
}

size_t SessionStore::InUse() const {
  std::lock_guard lock(mu_);
  return inUse_.size();
}

size_t SessionStore::Idle() const {
  std::lock_guard lock(mu_);
  return idle_.size();
}

SessionStore& ProcessSessions() {
  static SessionStore* const kStore = new SessionStore();
  return *kStore;
}

}  // namespace vidoria
