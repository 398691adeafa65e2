// The recurring parts of the web log's request lines.
#pragma once

#include <string>
#include <string_view>

#include "server/connection.h"

namespace vidoria {

// {PeerAddr} > {Host} "{Method} {URI}"
std::string RequestPart(Connection& c);
// REF "{Referer}" AGENT "{Agent}"
std::string ClientPart(Connection& c);
// "{Method} {FileName}" as the module's own lines quote the request.
std::string MethodAndName(Connection& c);

// Writes one web-log line about a request. Much of a line is the client's own text (the decoded
// file name, the host, the agent, a whole over-long request), so its control bytes are written
// escaped (see Printable): a request can never start a line of its own or hide part of one.
void LogRequestLine(std::string_view line);

}  // namespace vidoria
