// Rewrites an MP4 file so that its movie box ('moov', the index of all samples) comes before the
// media data, which lets a player start while the file is still downloading.
//
// The output's top level is: the first 'ftyp' (when there is one), the 'moov', then every other
// box in its original order. Chunk offsets ('stco', 'co64') are moved along with the data they
// point at; a 'stco' whose offsets no longer fit 32 bits becomes a 'co64'. A file whose 'moov'
// already precedes every 'mdat' is copied byte for byte.
//
// The output appears only complete: it is written to a temporary file in the output's folder,
// flushed to disk and renamed. On failure no output is created and an existing one is left alone.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "faststart/mp4.h"

namespace vidoria::faststart {

struct Outcome {
  bool moved = false;        // false: the input was already fast-start and was copied unchanged
  uint64_t moovSize = 0;     // as written; 0 when copied unchanged
  size_t widenedTables = 0;  // 'stco' tables turned into 'co64'
  uint64_t outputSize = 0;
};

struct Options {
  // Called with the temporary file's path right after it is created, and with an empty string
  // once it has been renamed or removed, so a signal handler can remove a half-written one.
  std::function<void(const std::string& tempPath)> tempFileChanged;
};

// Reads `input` and writes the rearranged copy to `output`. Failure reasons are one line,
// meant to follow "faststart: <input>: ". Calls with different output paths may run at once.
Result<Outcome> MakeFastStart(const std::string& input, const std::string& output,
                              const Options& options = {});

}  // namespace vidoria::faststart
