// Text made safe for XML documents (DIDL-Lite, descriptions, SOAP answers, events). Pure; any
// thread.
#pragma once

#include <string>
#include <string_view>

namespace vidoria {

// `text` as XML character data or an attribute value: & < > " ' escaped; bytes that are no valid
// UTF-8 and characters XML 1.0 forbids (control characters other than tab, LF and CR) become
// U+FFFD, so that one odd file name cannot make the whole answer unreadable to a TV.
std::string XmlText(std::string_view text);

}  // namespace vidoria
