#include "web/byte_ranges.h"

#include <charconv>

#include "server/text.h"

namespace vidoria {

namespace {

// A whole decimal number (optional sign), else `fallback`.
int64_t NumberOr(std::string_view text, int64_t fallback) {
  text = TrimControl(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return fallback;
  return value;
}

std::string RangeValue(int64_t start, int64_t end, int64_t size) {
  return "bytes " + std::to_string(start) + "-" + std::to_string(end) + "/" + std::to_string(size);
}

}  // namespace

RangeHeader ParseRangeHeader(std::string_view text) {
  RangeHeader range;
  text = TrimControl(text);
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) return range;
  range.unit = UpperCase(TrimControl(text.substr(0, equals)));
  const std::string_view rest = text.substr(equals + 1);
  const size_t dash = rest.find('-');
  if (dash != std::string_view::npos) {
    range.first = TrimControl(rest.substr(0, dash));
    const std::string_view after = rest.substr(dash + 1);
    range.last = TrimControl(after.substr(0, after.find(',')));
  } else {
    range.first = TrimControl(rest.substr(0, rest.find(',')));
  }
  return range;
}

RangeAnswer ApplyRange(const RangeHeader& range, int64_t size) {
  RangeAnswer answer;
  answer.contentLength = size;
  if (range.unit != "BYTES") return answer;
  if (!range.first.empty()) {
    const int64_t start = NumberOr(range.first, 0);
    int64_t end = range.last.empty() ? size - 1 : NumberOr(range.last, size - 1);
    if (end >= size) end = size - 1;
    answer.applied = true;
    if (start > end || start < 0) {
      answer.status = 416;
      answer.statusText = "Request range not satisfiable";
      answer.contentLength = 0;
      return answer;
    }
    answer.status = 206;
    answer.statusText = "Partial Content";
    answer.from = start;
    answer.contentLength = end - start + 1;
    answer.headerName = "Content-Range";
    answer.headerValue = RangeValue(start, end, size);
    return answer;
  }
  int64_t count = range.last.empty() ? -1 : NumberOr(range.last, -1);
  if (count <= 0) return answer;
  if (count > size) count = size;
  answer.applied = true;
  answer.status = 206;
  answer.statusText = "Partial Content";
  answer.from = size - count;
  answer.contentLength = count;
  answer.headerName = "CONTENT-RANGE";
  answer.headerValue = RangeValue(size - count, size - 1, size);
  return answer;
}

}  // namespace vidoria
