// Socket failures in the numbering and wording that the rest of the program reports.
#pragma once

#include <string>
#include <string_view>

#include "server/exceptions.h"

namespace vidoria {

// The Windows Sockets number for a POSIX errno (EADDRINUSE -> 10048, ...); numbers without a
// counterpart come back as 10000 + errno so that they still read as socket errors.
int WinSockErrorNumber(int posixErrno);

// The text for a Windows Sockets number, "Not a WinSock error" for unknown ones.
std::string_view WinSockErrorText(int winsockNumber);

// "Error <number> in function <step>" CR LF "<text>", the message of every failing socket call.
EWinSockException SocketError(int posixErrno, std::string_view step);

}  // namespace vidoria
