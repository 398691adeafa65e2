#include "upnp/control_port.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/unique_fd.h"

namespace vidoria {

int ControlPortFor(int webPort) {
  const int wanted = webPort + 1;
  if (webPort <= 0 || wanted > 65535) return 0;
  // A trial bind on every address: the stack binds each interface's address, which a listener on
  // the wildcard address or on any one of them would refuse. The trial socket is gone before the
  // stack binds; another program taking the port in between leaves that interface unserved.
  UniqueFd trial(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!trial.Valid()) return 0;
  const int on = 1;
  ::setsockopt(trial.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(wanted));
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (::bind(trial.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    return 0;
  return wanted;
}

}  // namespace vidoria
