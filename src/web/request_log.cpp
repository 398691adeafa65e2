#include "web/request_log.h"

#include "library/line_breaks.h"
#include "server/log.h"

namespace vidoria {

std::string RequestPart(Connection& c) {
  return c.PeerAddr() + " > " + c.request.Host() + " \"" + c.request.Method() + " " +
         c.request.URI() + "\"";
}

std::string ClientPart(Connection& c) {
  return "REF \"" + c.request.Referer() + "\" AGENT \"" + c.request.Agent() + "\"";
}

std::string MethodAndName(Connection& c) {
  return "\"" + c.request.Method() + " " + c.request.FileName() + "\"";
}

void LogRequestLine(std::string_view line) {
  Log(Printable(line));
}

}  // namespace vidoria
