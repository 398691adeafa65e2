// Failed logins counted per client address, and the short lockout that too many of them earn.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

namespace vidoria {

// kFailuresToLock wrong logins from one address within kFailureWindow lock that address out for
// kLockTime, counted from the failure that locked it. Failures older than kFailureWindow no longer
// count, so ten quiet minutes start the count afresh; after a lockout the earlier failures still
// count, so each further wrong login within the window locks again. A correct login forgets the
// address's failures.
//
// Memory is bounded: at most `capacity` addresses are remembered. Addresses whose failures have
// all expired are dropped first; when every slot is still in use, the address that failed least
// recently is dropped (a client cycling through more addresses than that can therefore wash one
// of them clean, at the price of failing from all the others first).
//
// Thread-safe: every member may be called from any request thread; mu_ guards all state. The
// clock is called with mu_ held, so it must not call back into this object.
class LoginLockout {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Clock = std::function<TimePoint()>;

  static constexpr int kFailuresToLock = 5;
  static constexpr std::chrono::minutes kFailureWindow{10};
  static constexpr std::chrono::seconds kLockTime{60};
  static constexpr size_t kDefaultCapacity = 4096;

  // An empty clock reads std::chrono::steady_clock. `capacity` is at least 1.
  explicit LoginLockout(Clock now = {}, size_t capacity = kDefaultCapacity);

  // True while `address` is locked out: its login posts are not to be checked.
  bool Locked(const std::string& address);
  // Records a wrong login from `address`; true when this failure locked the address out.
  bool Failed(const std::string& address);
  // Records a correct login: the address's failures are forgotten.
  void Succeeded(const std::string& address);
  // How many addresses are remembered now.
  size_t Remembered() const;

 private:
  struct Entry {
    std::array<TimePoint, kFailuresToLock> failures{};  // oldest first, `count` of them in use
    int count = 0;
    TimePoint lockedUntil{};  // the epoch when never locked
    std::list<std::string>::iterator inOrder;
  };

  TimePoint Now() const;
  // Drops the addresses whose latest failure has left the window (they cannot be locked either:
  // a lockout ends long before its failure leaves the window).
  void DropExpired(TimePoint now);

  const Clock now_;
  const size_t capacity_;
  mutable std::mutex mu_;  // guards entries_ and order_
  std::unordered_map<std::string, Entry> entries_;
  std::list<std::string> order_;  // addresses, the one that failed least recently first
};

}  // namespace vidoria
