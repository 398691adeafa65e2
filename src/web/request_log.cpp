#include "web/request_log.h"

#include "library/line_breaks.h"
#include "server/log.h"

namespace vidoria {

std::string RequestPart(Connection& c) {
  return c.PeerAddr() + " > " + c.Request().Host() + " \"" + c.Request().Method() + " " +
         c.Request().URI() + "\"";
}

std::string ClientPart(Connection& c) {
  return "REF \"" + c.Request().Referer() + "\" AGENT \"" + c.Request().Agent() + "\"";
}

std::string MethodAndName(Connection& c) {
  return "\"" + c.Request().Method() + " " + c.Request().FileName() + "\"";
}

void LogRequestLine(std::string_view line) {
  Log(Printable(line));
}

}  // namespace vidoria
