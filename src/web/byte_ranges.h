// Single byte ranges of a file answer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vidoria {

struct RangeHeader {
  std::string unit;   // upper-cased, e.g. "BYTES"
  std::string first;  // "" for a suffix range
  std::string last;
};

// Only the first range of a list counts: "bytes=0-99,200-299" gives 0 and 99.
RangeHeader ParseRangeHeader(std::string_view text);

struct RangeAnswer {
  bool applied = false;  // false: the whole file, status 200
  int status = 200;
  std::string statusText = "OK";
  int64_t contentLength = 0;
  int64_t from = 0;
  // The range header's name as the answer spells it ("Content-Range" or, for a suffix range,
  // "CONTENT-RANGE"); empty when none is sent.
  std::string headerName;
  std::string headerValue;
};

// What a GET with this range gets from a file of `size` bytes.
RangeAnswer ApplyRange(const RangeHeader& range, int64_t size);

}  // namespace vidoria
