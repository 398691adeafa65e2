#include "upnp/control_port.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include "platform/unique_fd.h"

namespace vidoria {
namespace {

// A listener on 127.0.0.1 at an ephemeral port; returns its port.
int Listen(UniqueFd& fd, int port = 0) {
  fd = UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return -1;
  ::listen(fd.Get(), 1);
  socklen_t size = sizeof address;
  ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

TEST(ControlPortTest, WebPortPlusOneUnlessTakenOrOutOfRange) {
  UniqueFd web, next;
  // A web port whose next port is free, and then the same with the next one taken.
  int port = -1;
  for (int attempt = 0; attempt < 20 && port < 0; ++attempt) {
    const int candidate = Listen(web);
    if (candidate > 0 && candidate < 65535 && ControlPortFor(candidate) == candidate + 1) {
      port = candidate;
    }
  }
  ASSERT_GT(port, 0);
  ASSERT_EQ(Listen(next, port + 1), port + 1);
  EXPECT_EQ(ControlPortFor(port), 0);
  EXPECT_EQ(ControlPortFor(65535), 0);
  EXPECT_EQ(ControlPortFor(0), 0);
}

}  // namespace
}  // namespace vidoria
