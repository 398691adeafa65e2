// SOAP as UPnP control points speak it: the action a request body calls, with its arguments, and
// the answer or fault that goes back. Pure; any thread.
//
// The reader takes the small subset of XML a SOAP call needs and refuses the rest: no document
// type (so no entity of the sender's making, however nested or external), only the five
// predefined entities and character references, elements at most kMaxDepth deep. Whatever it
// refuses gets a fault, never a guess.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vidoria {

struct SoapCall {
  std::string action;  // the local name of the Body's element, e.g. "Browse"
  std::vector<std::pair<std::string, std::string>> arguments;  // local names, unescaped texts

  // The first argument called `name`, or nullptr.
  const std::string* Argument(std::string_view name) const;
};

// The call in `body`, or nullopt when the body is no SOAP envelope holding exactly one action.
std::optional<SoapCall> ReadSoapCall(std::string_view body);

// The action in a SOAPACTION header ("urn:...:ContentDirectory:1#Browse", quoted or not): the
// service type and the action name; nullopt for anything else.
std::optional<std::pair<std::string, std::string>> ReadSoapActionHeader(std::string_view header);

// The envelope answering `action` of `serviceType` with the out arguments in order; values are
// escaped here.
std::string SoapAnswer(std::string_view serviceType, std::string_view action,
                       const std::vector<std::pair<std::string, std::string>>& out);

// The envelope of a UPnP error (sent with status 500).
std::string SoapFault(unsigned code, std::string_view description);

}  // namespace vidoria
