// Fuzz entry point for a SOAP request's body, which any control point on the network sends:
// ReadSoapCall on the input's text.
//
// Expectations: reading ends (depth is bounded); the same body reads the same way twice; a call
// that was read has an action name and no more arguments than the bound; an answer written with
// the call's arguments reads back as those arguments.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_expect.h"
#include "upnp/soap.h"
#include "upnp/xml_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vidoria;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto call = ReadSoapCall(text);
  const auto again = ReadSoapCall(text);
  FUZZ_EXPECT(call.has_value() == again.has_value());
  if (!call) return 0;
  FUZZ_EXPECT(!call->action.empty());
  FUZZ_EXPECT(call->arguments == again->arguments);
  FUZZ_EXPECT(call->arguments.size() <= 64);
  const auto answer = ReadSoapCall(SoapAnswer("urn:x", "A", call->arguments));
  FUZZ_EXPECT(answer.has_value());
  FUZZ_EXPECT(answer->arguments.size() == call->arguments.size());
  for (size_t i = 0; i < call->arguments.size() && answer; ++i) {
    // Escaping replaces what XML cannot hold, so compare with what was meant to be sent.
    FUZZ_EXPECT(answer->arguments[i].second ==
                ReadSoapCall(SoapAnswer("urn:x", "A", {{"v", call->arguments[i].second}}))
                    ->arguments[0]
                    .second);
  }
  return 0;
}
