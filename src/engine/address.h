// The address a phone on the same network uses to reach this computer.
#pragma once

#include <string>

namespace vidoria {

// The first IPv4 address of an interface that is up and not loopback; failing that, the address
// the host name resolves to; "" when there is none.
std::string LanAddress();

}  // namespace vidoria
