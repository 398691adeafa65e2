// Event subscriptions (GENA): who asked to hear of a service's evented variables, where to tell
// them, until when, and the sequence number of their next event. Thread-safe: one lock guards
// every field.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vidoria {

// The first "http://" address of a CALLBACK header ("<http://a/b><http://c/d>"), or nullopt.
std::optional<std::string> ReadCallbackHeader(std::string_view header);
// The seconds a TIMEOUT header asks for ("Second-300", "infinite"), or nullopt when absent or
// unreadable (the default then applies).
std::optional<int64_t> ReadTimeoutHeader(std::string_view header);

// The body of an event: `variables` as a property set.
std::string PropertySet(const std::vector<std::pair<std::string, std::string>>& variables);

class Subscriptions {
 public:
  using Clock = std::chrono::steady_clock;
  // A subscription lasts at most half an hour between renewals; asking for more (or "infinite")
  // gets this. A subscriber that goes away silently is forgotten at the latest then.
  static constexpr int64_t kMaxSeconds = 1800;
  // Over all services: a flood of SUBSCRIBEs must not grow memory or make every change send
  // thousands of events.
  static constexpr size_t kMaxSubscriptions = 64;

  struct Granted {
    std::string sid;  // "uuid:..."
    int64_t seconds = 0;
  };
  // Where one event goes.
  struct Notice {
    std::string sid;
    std::string callback;
    uint32_t seq = 0;
  };

  // A new subscription to `service` (nullopt when kMaxSubscriptions are held). Its first event
  // (sequence 0) is the caller's to send.
  std::optional<Granted> Add(const std::string& service, std::string callback,
                             std::optional<int64_t> seconds, Clock::time_point now);
  // Renews the subscription `sid` of `service`; nullopt when there is none (or it expired).
  std::optional<Granted> Renew(const std::string& service, const std::string& sid,
                               std::optional<int64_t> seconds, Clock::time_point now);
  bool Remove(const std::string& service, const std::string& sid);
  // Every live subscriber of `service`, each with its next sequence number, which this takes.
  std::vector<Notice> Take(const std::string& service, Clock::time_point now);
  size_t Count(Clock::time_point now);

 private:
  struct Entry {
    std::string service;
    std::string callback;
    Clock::time_point expires;
    uint32_t nextSeq = 1;  // 0 went with the first event
  };
  void DropExpired(Clock::time_point now);  // with lock_ held
  static int64_t Granting(std::optional<int64_t> seconds);

  std::mutex lock_;                       // guards entries_
  std::map<std::string, Entry> entries_;  // by SID
};

}  // namespace vidoria
