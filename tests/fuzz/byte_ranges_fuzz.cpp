// Fuzz entry point for the Range header: ParseRangeHeader, then ApplyRange for several file sizes.
//
// Input: the first line is the file size in decimal (anything else: a size from a hash of the
// input), the rest is the header's text. Besides that size the answer is also checked for files
// of 1 byte, of the largest size and of sizes around the numbers the header holds, where the
// off-by-one mistakes live. Files are never empty: the provider answers those before ranges apply.
//
// Every answer must be one of the three the header promises, and a partial answer must lie
// within the file: 0 <= from, 1 <= length, from + length <= size, its header naming exactly
// those bytes. Ranges whose numbers are plain digits are also checked against the rule itself.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_expect.h"
#include "server/text.h"
#include "web/byte_ranges.h"

namespace vidoria {
namespace {

constexpr int64_t kLargest = std::numeric_limits<int64_t>::max();

// Digits only, fitting 63 bits: the numbers whose meaning is beyond doubt.
std::optional<int64_t> PlainNumber(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

void CheckParsed(std::string_view text, const RangeHeader& range) {
  FUZZ_EXPECT(range.unit == UpperCase(range.unit));
  FUZZ_EXPECT(TrimControl(range.unit) == range.unit);
  FUZZ_EXPECT(range.unit.find('=') == std::string::npos);
  FUZZ_EXPECT(TrimControl(range.first) == range.first);
  FUZZ_EXPECT(range.first.find('-') == std::string::npos);
  FUZZ_EXPECT(TrimControl(range.last) == range.last);
  FUZZ_EXPECT(range.last.find(',') == std::string::npos);
  if (text.find('=') == std::string_view::npos) {
    FUZZ_EXPECT(range.unit.empty() && range.first.empty() && range.last.empty());
  }
  // The parts say everything the parser kept: written back as one range they parse the same.
  const RangeHeader again = ParseRangeHeader(range.unit + "=" + range.first + "-" + range.last);
  FUZZ_EXPECT(again.unit == range.unit && again.first == range.first && again.last == range.last);
}

void CheckAnswer(const RangeHeader& range, int64_t size) {
  const RangeAnswer answer = ApplyRange(range, size);
  switch (answer.status) {
    case 200:
      FUZZ_EXPECT(answer.statusText == "OK");
      FUZZ_EXPECT(!answer.applied);
      FUZZ_EXPECT(answer.contentLength == size && answer.from == 0);
      FUZZ_EXPECT(answer.headerName.empty() && answer.headerValue.empty());
      break;
    case 416:
      FUZZ_EXPECT(answer.statusText == "Request range not satisfiable");
      FUZZ_EXPECT(answer.applied);
      FUZZ_EXPECT(range.unit == "BYTES" && !range.first.empty());
      FUZZ_EXPECT(answer.contentLength == 0 && answer.from == 0);
      FUZZ_EXPECT(answer.headerName.empty() && answer.headerValue.empty());
      break;
    case 206: {
      FUZZ_EXPECT(answer.statusText == "Partial Content");
      FUZZ_EXPECT(answer.applied);
      FUZZ_EXPECT(range.unit == "BYTES");
      FUZZ_EXPECT(answer.from >= 0 && answer.from < size);
      FUZZ_EXPECT(answer.contentLength >= 1 && answer.contentLength <= size - answer.from);
      const int64_t end = answer.from + (answer.contentLength - 1);
      FUZZ_EXPECT(answer.headerName == (range.first.empty() ? "CONTENT-RANGE" : "Content-Range"));
      FUZZ_EXPECT(answer.headerValue == "bytes " + std::to_string(answer.from) + "-" +
                                            std::to_string(end) + "/" + std::to_string(size));
      if (range.first.empty()) FUZZ_EXPECT(end == size - 1);  // a suffix ends with the file
      break;
    }
    default:
      FUZZ_EXPECT(!"status is 200, 206 or 416");
  }
  if (range.unit != "BYTES") FUZZ_EXPECT(answer.status == 200);

  // The rule, for plain numbers.
  if (range.unit != "BYTES") return;
  const std::optional<int64_t> first = PlainNumber(range.first);
  const std::optional<int64_t> last = PlainNumber(range.last);
  if (first && (last || range.last.empty())) {
    const int64_t end = last && *last < size - 1 ? *last : size - 1;
    if (*first > end) {
      FUZZ_EXPECT(answer.status == 416);
    } else {
      FUZZ_EXPECT(answer.status == 206 && answer.from == *first);
      FUZZ_EXPECT(answer.contentLength == end - *first + 1);
    }
  } else if (range.first.empty() && last) {
    if (*last == 0) {
      FUZZ_EXPECT(answer.status == 200);
    } else {
      FUZZ_EXPECT(answer.status == 206);
      FUZZ_EXPECT(answer.contentLength == (*last < size ? *last : size));
    }
  }
}

}  // namespace
}  // namespace vidoria

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vidoria;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t newline = input.find('\n');
  const std::string_view sizeLine = input.substr(0, newline);
  const std::string_view text =
      newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

  int64_t fileSize = 0;
  const auto [end, error] =
      std::from_chars(sizeLine.data(), sizeLine.data() + sizeLine.size(), fileSize);
  if (error != std::errc() || end != sizeLine.data() + sizeLine.size() || fileSize < 1) {
    fileSize = 1 + static_cast<int64_t>(vidoria::fuzz::Hash(input) % 100000);
  }

  const RangeHeader range = ParseRangeHeader(text);
  CheckParsed(text, range);

  std::vector<int64_t> sizes = {fileSize, 1, 2, kLargest};
  for (const std::string* number : {&range.first, &range.last}) {
    const std::optional<int64_t> value = PlainNumber(*number);
    if (!value || *value > kLargest - 2) continue;
    for (const int64_t near : {*value - 1, *value, *value + 1, *value + 2}) {
      if (near >= 1) sizes.push_back(near);
    }
  }
  for (const int64_t fileBytes : sizes) CheckAnswer(range, fileBytes);
  return 0;
}
