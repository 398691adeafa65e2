#include "upnp/subscriptions.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <random>

#include "library/case_fold.h"
#include "upnp/xml_text.h"

namespace vidoria {

namespace {

std::string NewSid() {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  const uint64_t high = random(), low = random();
  char text[48];
  std::snprintf(text, sizeof text, "uuid:%08x-%04x-4%03x-%04x-%012llx",
                static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                static_cast<unsigned>(high & 0x0FFF),
                static_cast<unsigned>(0x8000 | ((low >> 48) & 0x3FFF)),
                static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
  return text;
}

}  // namespace

std::optional<std::string> ReadCallbackHeader(std::string_view header) {
  for (size_t open = header.find('<'); open != std::string_view::npos;
       open = header.find('<', open + 1)) {
    const size_t close = header.find('>', open);
    if (close == std::string_view::npos) break;
    const std::string_view url = header.substr(open + 1, close - open - 1);
    if (url.size() > 7 && SameTextIgnoringCase(url.substr(0, 7), "http://"))
      return std::string(url);
  }
  return std::nullopt;
}

std::optional<int64_t> ReadTimeoutHeader(std::string_view header) {
  while (!header.empty() && header.front() == ' ') header.remove_prefix(1);
  while (!header.empty() && header.back() == ' ') header.remove_suffix(1);
  if (SameTextIgnoringCase(header, "infinite") || SameTextIgnoringCase(header, "Second-infinite")) {
    return Subscriptions::kMaxSeconds;
  }
  if (header.size() <= 7 || !SameTextIgnoringCase(header.substr(0, 7), "Second-"))
    return std::nullopt;
  const std::string_view digits = header.substr(7);
  int64_t seconds = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), seconds);
  if (error != std::errc() || end != digits.data() + digits.size() || seconds <= 0) {
    return std::nullopt;
  }
  return seconds;
}

std::string PropertySet(const std::vector<std::pair<std::string, std::string>>& variables) {
  std::string xml =
      "<?xml version=\"1.0\"?>\n<e:propertyset xmlns:e=\"urn:schemas-upnp-org:event-1-0\">";
  for (const auto& [name, value] : variables) {
    xml += "<e:property><" + name + ">" + XmlText(value) + "</" + name + "></e:property>";
  }
  xml += "</e:propertyset>\n";
  return xml;
}

int64_t Subscriptions::Granting(std::optional<int64_t> seconds) {
  return seconds ? std::min(*seconds, kMaxSeconds) : kMaxSeconds;
}

void Subscriptions::DropExpired(Clock::time_point now) {
  std::erase_if(entries_, [now](const auto& entry) { return entry.second.expires <= now; });
}

std::optional<Subscriptions::Granted> Subscriptions::Add(const std::string& service,
                                                         std::string callback,
                                                         std::optional<int64_t> seconds,
                                                         Clock::time_point now) {
  std::lock_guard hold(lock_);
  DropExpired(now);
  if (entries_.size() >= kMaxSubscriptions) return std::nullopt;
  const int64_t granted = Granting(seconds);
  std::string sid = NewSid();
  entries_[sid] = Entry{service, std::move(callback), now + std::chrono::seconds(granted)};
  return Granted{std::move(sid), granted};
}

std::optional<Subscriptions::Granted> Subscriptions::Renew(const std::string& service,
                                                           const std::string& sid,
                                                           std::optional<int64_t> seconds,
                                                           Clock::time_point now) {
  std::lock_guard hold(lock_);
  DropExpired(now);
  const auto found = entries_.find(sid);
  if (found == entries_.end() || found->second.service != service) return std::nullopt;
  const int64_t granted = Granting(seconds);
  found->second.expires = now + std::chrono::seconds(granted);
  return Granted{sid, granted};
}

bool Subscriptions::Remove(const std::string& service, const std::string& sid) {
  std::lock_guard hold(lock_);
  const auto found = entries_.find(sid);
  if (found == entries_.end() || found->second.service != service) return false;
  entries_.erase(found);
  return true;
}

std::vector<Subscriptions::Notice> Subscriptions::Take(const std::string& service,
                                                       Clock::time_point now) {
  std::lock_guard hold(lock_);
  DropExpired(now);
  std::vector<Notice> notices;
  for (auto& [sid, entry] : entries_) {
    if (entry.service != service) continue;
    notices.push_back(Notice{sid, entry.callback, entry.nextSeq});
    // After 4294967295 comes 1: 0 is the first event's alone.
    entry.nextSeq = entry.nextSeq == UINT32_MAX ? 1 : entry.nextSeq + 1;
  }
  return notices;
}

size_t Subscriptions::Count(Clock::time_point now) {
  std::lock_guard hold(lock_);
  DropExpired(now);
  return entries_.size();
}

}  // namespace vidoria
