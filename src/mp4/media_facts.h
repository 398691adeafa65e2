// What a TV is told about a video before it plays it, read from the MP4's own boxes: duration,
// picture size, codecs and the sound's channels and sample rate. Only the movie box is read
// (never the media data), once per file by the caller's cache.
//
// Plain functions without shared state; any thread.
#pragma once

#include <cstdint>
#include <string>

#include "mp4/boxes.h"
#include "mp4/result.h"

namespace vidoria::mp4 {

struct MediaFacts {
  uint64_t durationMs = 0;  // 0 when the file does not say
  uint64_t fileSize = 0;
  // The first video track; codec 0 when there is none.
  FourCC videoCodec = 0;  // 'avc1', 'avc3', 'hvc1', 'hev1', 'mp4v', ...
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t avcProfile = 0;  // from 'avcC': 66 baseline, 77 main, 100 high; 0 when not H.264
  uint8_t avcConstraints = 0;
  uint8_t avcLevel = 0;  // e.g. 31 for 3.1
  // The first sound track; codec 0 when there is none.
  FourCC audioCodec = 0;  // 'mp4a', 'ac-3', ...
  uint32_t channels = 0;
  uint32_t sampleRate = 0;

  // Bytes per second over the whole file; 0 without a duration.
  uint64_t BytesPerSecond() const { return durationMs == 0 ? 0 : fileSize * 1000 / durationMs; }
};

// The largest movie box read; a larger one (hours of tiny samples) is not worth a TV's wait.
inline constexpr uint64_t kMaxMovieBoxBytes = 32u << 20;

// Reads the file's movie box and the facts in it. Fails on anything that is not an MP4 file.
Result<MediaFacts> ReadMediaFacts(const std::string& path);

// The facts of a parsed movie box ('moov'); fileSize is left 0.
MediaFacts MediaFactsOf(const Box& moov);

}  // namespace vidoria::mp4
