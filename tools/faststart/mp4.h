// The MP4 box parser and the result type the tool shares with the media server (src/mp4/), under
// the tool's own namespace.
#pragma once

#include "mp4/boxes.h"
#include "mp4/read_at.h"
#include "mp4/result.h"

namespace vidoria::faststart {
using namespace vidoria::mp4;
}  // namespace vidoria::faststart
