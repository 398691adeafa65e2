// Server sessions: named values with a random identifier and an idle lifetime.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "server/info.h"

namespace vidoria {

class ServerSession : public Info {
 public:
  using Time = std::chrono::system_clock::time_point;

  uint8_t lockMode = 0;  // as given to OpenSession; stored only
  std::string forwardedFor;
  std::string id;  // 32 lower-case hexadecimal digits
  std::string peerAddr;
  Time created{}, lastUsed{}, expires{};
  Time finalExpiry{};  // the epoch: none
  int keepAlive = 0;   // seconds; 0 = SessionKeepAliveDefault
};

// The process-wide store. A session is in use from Open until its connection releases it, then
// idle until it expires; expired idle sessions are freed lazily, at the next release of any
// session. Every member is thread-safe; the closing handler runs under the store's lock, so it
// must not open or release sessions.
class SessionStore {
 public:
  static constexpr int kSessionKeepAliveDefault = 60;
  using Clock = std::function<ServerSession::Time()>;
  using CloseHandler = std::function<void(ServerSession& closing)>;

  explicit SessionStore(Clock clock = &std::chrono::system_clock::now);
  ~SessionStore();  // frees every session without events

  // A new session in use. Throws EConnection "Unable to initialize session" when no random
  // identifier can be had. The store owns it; the caller holds it until Release.
  ServerSession* Open(uint8_t lockMode, const std::string& peerAddr,
                      const std::string& forwardedFor);
  // Ends the session's use: its lifetime starts now. Expired idle sessions are purged first,
  // each through `onClose`; the released one too when it has already expired.
  void Release(ServerSession* session, const CloseHandler& onClose);

  // True when `id` names a session that has not expired and passes `accept`; its lifetime then
  // starts anew. For the login gate, which trusts the browser's cookie only this far.
  bool Refresh(const std::string& id, const std::function<bool(const ServerSession&)>& accept);

  size_t InUse() const;
  size_t Idle() const;

 private:
  static std::string ExpiryKey(const ServerSession& session);
  void SetExpiry(ServerSession& session, ServerSession::Time now);
  void PurgeExpired(ServerSession::Time now, const CloseHandler& onClose);

  const Clock clock_;
  mutable std::mutex mu_;                                        // guards the three lists
  std::map<std::string, std::unique_ptr<ServerSession>> inUse_;  // by ID
  std::map<std::string, std::unique_ptr<ServerSession>> idle_;   // by ID
  std::map<std::string, std::string> byExpiry_;                  // expiry key -> ID
};

// 32 lower-case hexadecimal digits from 16 random bytes (version-4 layout); "" when the system
// has no randomness to give.
std::string NewSessionId();

SessionStore& ProcessSessions();

}  // namespace vidoria
