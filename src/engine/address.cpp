#include "engine/address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <unistd.h>

namespace vidoria {

std::string LanAddress() {
  std::string found;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) == 0) {
    for (ifaddrs* entry = list; entry && found.empty(); entry = entry->ifa_next) {
      if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
      if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK)) continue;
      char text[INET_ADDRSTRLEN] = {};
      const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
      if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) found = text;
    }
    ::freeifaddrs(list);
  }
  if (!found.empty()) return found;
  // The host name often maps to 127.0.1.1, which no phone reaches; only a fallback.
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) return {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* result = nullptr;
  if (::getaddrinfo(host, nullptr, &hints, &result) != 0 || !result) return {};
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr, text,
              sizeof text);
  ::freeaddrinfo(result);
  return text;
}

}  // namespace vidoria
