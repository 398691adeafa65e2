// What a DLNA TV is told about a video: its media profile where the file fits a known one, and
// what the server can do with it (byte seeks, no conversion, streaming). The same text goes into
// the browse listing's protocolInfo and into the media answer's contentFeatures.dlna.org header.
// Pure; any thread.
#pragma once

#include <string>
#include <string_view>

#include "mp4/media_facts.h"

namespace vidoria {

// DLNA.ORG_FLAGS: streaming and background transfer, connection stalling (a paused TV may stop
// reading), DLNA 1.5.
inline constexpr std::string_view kDlnaFlags = "01700000000000000000000000000000";

// The DLNA media profile (DLNA.ORG_PN) of an H.264 + AAC video in MP4 whose profile, picture size
// and sound fit one; "" otherwise (a TV then judges the file by its MIME type).
std::string DlnaProfileOf(const mp4::MediaFacts& facts);

// "DLNA.ORG_PN=...;DLNA.ORG_OP=01;DLNA.ORG_CI=0;DLNA.ORG_FLAGS=..." (without PN when no profile is
// known; `facts` may be null).
std::string DlnaContentFeatures(const mp4::MediaFacts* facts);

// "http-get:*:video/mp4:" + the content features.
std::string VideoProtocolInfo(const mp4::MediaFacts* facts);

}  // namespace vidoria
