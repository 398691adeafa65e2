// Test helpers for a program run in a temporary home: a free port and stored settings written by
// hand, shared by the engine's and the desktop program's tests.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>

#include "library/cipher.h"

namespace vidoria::testing {

// A loopback port nobody listens on right now. Chosen below the kernel's ephemeral range
// (32768 and up here): a port the kernel handed out would soon be handed out again as the local
// port of some test's client connection, and a server started on it would fail to listen.
inline int FreeLoopbackPort() {
  static std::atomic<unsigned> picks{0};
  const unsigned seed = static_cast<unsigned>(::getpid()) * 7919u +
                        static_cast<unsigned>(::time(nullptr)) + picks.fetch_add(101);
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    const int port = 20000 + static_cast<int>((seed + attempt * 37u) % 12000u);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (free) return port;
  }
  return 0;
}

// settings.kavra with the defaults but for the port and the first line.
inline std::string StoredSettingsText(int port, const std::string& autorun = "Autorun OFF") {
  std::string text;
  for (const std::string& line :
       {autorun, std::string("Autostart OFF"), std::string("Autoscan OFF"), std::string("5"),
        std::string("qorvu"), EncodeText(kCypherKey, "qorvu"), std::string("login OFF"),
        std::to_string(port)}) {
    text += line + "\r\n";
  }
  return text;
}

}  // namespace vidoria::testing
