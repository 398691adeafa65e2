#include <cerrno>

#include <gtest/gtest.h>

#include "server/socket_errors.h"

namespace vidoria {
namespace {

TEST(SocketErrorsTest, PosixErrorsReadAsWinSockMessages) {
  struct Case {
    int posix;
    const char* step;
    const char* message;
  };
  const Case cases[] = {
      {EADDRINUSE, "Bind", "Error 10048 in function Bind\r\nAddress or Port already in use"},
      {EACCES, "Bind", "Error 10013 in function Bind\r\nPermission denied"},
      {EADDRNOTAVAIL, "Bind", "Error 10049 in function Bind\r\nAddress or Port not available"},
      {EMFILE, "socket", "Error 10024 in function socket\r\nToo many open files"},
      {ECONNRESET, "Listen", "Error 10054 in function Listen\r\nConnection reset by peer"},
      {ENOTCONN, "WSAASyncSelect",
       "Error 10057 in function WSAASyncSelect\r\nSocket is not connected"},
      {EIO, "Listen", "Error 10005 in function Listen\r\nNot a WinSock error"},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(SocketError(c.posix, c.step).what(), c.message);
  }
  EXPECT_EQ(WinSockErrorText(0), "No Error");
  EXPECT_EQ(WinSockErrorText(11001), "Host not found");
}

}  // namespace
}  // namespace vidoria
