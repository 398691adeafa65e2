// The recurring parts of the web log's request lines.
#pragma once

#include <string>

#include "server/connection.h"

namespace vidoria {

// {PeerAddr} > {Host} "{Method} {URI}"
std::string RequestPart(Connection& c);
// REF "{Referer}" AGENT "{Agent}"
std::string ClientPart(Connection& c);
// "{Method} {FileName}" as the module's own lines quote the request.
std::string MethodAndName(Connection& c);

}  // namespace vidoria
