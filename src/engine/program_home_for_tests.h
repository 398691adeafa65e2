// Test helpers for a program run in a temporary home: a free port and stored settings written by
// hand, shared by the engine's and the desktop program's tests.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "library/cipher.h"

namespace vidoria::testing {

// A loopback port nobody listens on right now.
inline int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
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
