#include "server/http_reader.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "server/text.h"

namespace vidoria {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Chunk sizes are read right to left; anything that is not a hex digit counts as a zero digit.
// Absurd lengths saturate instead of overflowing.
int64_t ChunkSize(std::string_view text) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t value = 0, weight = 1;
  bool weightOverflow = false;
  for (size_t i = text.size(); i-- > 0;) {
    const char c = text[i];
    int64_t digit = 0;
    if (c >= '1' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit != 0) {
      int64_t term;
      if (weightOverflow || __builtin_mul_overflow(digit, weight, &term) ||
          __builtin_add_overflow(value, term, &value)) {
        return kMax;
      }
    }
    if (!weightOverflow && __builtin_mul_overflow(weight, int64_t{16}, &weight)) {
      weightOverflow = true;
    }
  }
  return value;
}

int64_t DecimalOrZero(std::string_view text) {
  text = TrimControl(text);
  if (text.empty()) return 0;
  bool negative = false;
  size_t i = 0;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    i = 1;
  }
  if (i == text.size()) return 0;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
    const int digit = text[i] - '0';
    if (value > (std::numeric_limits<int64_t>::max() - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

}  // namespace

size_t HttpReader::Find(std::string_view needle) {
  // Bytes already searched need not be searched again when a line arrives one packet at a time.
  const size_t overlap = needle.size() - 1;
  const size_t from = searched_ > overlap ? searched_ - overlap : 0;
  const size_t at = input_.find(needle, from);
  searched_ = at == std::string::npos ? input_.size() : 0;
  return at;
}

void HttpReader::Consume(size_t count) {
  input_.erase(0, count);
  searched_ = 0;
}

HttpReader::Outcome HttpReader::Process(ServerRequest& request, ServerResponse& response,
                                        const Callbacks& callbacks) {
  // The next request waits until the response to this one has left (RequestDone).
  if (request.complete) {
    if (!input_.empty()) dataPending_ = true;
    return Outcome::kBusy;
  }
  while (!input_.empty()) {
    if (!headerComplete_ && !lineSeen_) {
      const size_t crlf = Find(kCrLf);
      const size_t p = crlf == std::string::npos ? 0 : crlf + 1;  // 1-based position of the CR
      const size_t max = limits_.maxRequestSize;
      if (max > 0 && (p > max + 1 || (p == 0 && input_.size() > max + 2))) {
        Invalid(request, input_, callbacks);
        return Outcome::kInvalid;
      }
      if (p > 0 && !ParseRequestLine(request, response, crlf)) {
        Invalid(request, request.FileName(), callbacks);
        return Outcome::kInvalid;
      }
    }
    if (lineSeen_ && !headerComplete_) {
      if (input_.starts_with(kCrLf)) {
        Consume(2);
        headerComplete_ = true;
        request.ApplyFixup(limits_.fixup);
      } else {
        const size_t found = Find("\r\n\r\n");
        const size_t f = found == std::string::npos ? 0 : found + 1;
        const size_t max = limits_.maxHeaderSize;
        if (max > 0 && (f > max || (f == 0 && input_.size() > max + 4))) {
          Invalid(request, request.FileName(), callbacks);
          return Outcome::kInvalid;
        }
        if (f > 0) {
          ParseHeaderBlock(request, std::string_view(input_).substr(0, found + 4));
          Consume(found + 4);
          headerComplete_ = true;
          request.ApplyFixup(limits_.fixup);
        }
      }
    }
    if (!headerComplete_) return Outcome::kNeedMore;

    if (chunked_) {
      const ChunkStep step = ReadChunked(request, callbacks);
      if (step == ChunkStep::kNeedMore) return Outcome::kNeedMore;
      if (step == ChunkStep::kInvalid) {
        Invalid(request, request.FileName(), callbacks);
        return Outcome::kInvalid;
      }
    } else {
      if (contentRemaining_ <= 0) {
        request.complete = true;
      } else if (static_cast<int64_t>(input_.size()) < contentRemaining_) {
        content_ += input_;
        request.contentIn += static_cast<int64_t>(input_.size());
        contentRemaining_ -= static_cast<int64_t>(input_.size());
        Consume(input_.size());
      } else {
        content_.append(input_, 0, static_cast<size_t>(contentRemaining_));
        Consume(static_cast<size_t>(contentRemaining_));
        request.contentIn += contentRemaining_;
        contentRemaining_ = 0;
        request.complete = true;
      }
      if (request.complete) headerComplete_ = lineSeen_ = false;
      if (callbacks.received) callbacks.received();
      request.started = false;
    }
    if (request.complete) {
      if (!input_.empty()) dataPending_ = true;
      return Outcome::kBusy;
    }
  }
  return Outcome::kNeedMore;
}

bool HttpReader::ParseRequestLine(ServerRequest& request, ServerResponse& response,
                                  size_t lineEnd) {
  content_.clear();
  request.Clear();
  response.Clear();
  contentRemaining_ = 0;
  chunked_ = false;
  chunkState_ = 0;
  chunkRemaining_ = 0;
  const std::string line = input_.substr(0, lineEnd);
  Consume(lineEnd + 2);

  const std::string upper = UpperCase(line);
  if (upper.find(" HTTP/") == std::string::npos && upper.find(" HTTPS/") == std::string::npos) {
    request.SetFileName(line);
    return false;
  }
  request.started = true;
  request.active = true;
  const size_t first = line.find(' ');
  request.SetMethod(TrimControl(std::string_view(line).substr(0, first)));
  const size_t second = line.find(' ', first + 1);
  if (second == std::string::npos) {
    request.SetFileName(line.substr(first + 1));
    return false;
  }
  const std::string target = line.substr(first + 1, second - first - 1);
  const std::string protocol = line.substr(second + 1);
  const size_t slash = protocol.find('/');
  if (slash == std::string::npos) {
    request.SetFileName(target);
    return false;
  }
  if (protocol.compare(slash + 1, 3, "1.0") == 0) request.close = true;
  const size_t question = target.find('?');
  if (question != std::string::npos) {
    request.Query().SetText(std::string_view(target).substr(question + 1));
    request.SetFileName(std::string_view(target).substr(0, question));
  } else {
    request.Query().Clear();
    request.SetFileName(target);
  }
  lineSeen_ = true;
  return true;
}

void HttpReader::ParseHeaderBlock(ServerRequest& request, std::string_view block) {
  while (!block.empty()) {
    const size_t end = block.find(kCrLf);
    const std::string_view line = block.substr(0, end);
    block = end == std::string_view::npos ? std::string_view() : block.substr(end + 2);
    if (line.empty()) break;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string name = UpperCase(TrimControl(line.substr(0, colon)));
    const std::string_view value = TrimControl(line.substr(colon + 1));
    if (name == "CONTENT-LENGTH") {
      contentRemaining_ = DecimalOrZero(value);
      request.SetContentLength(contentRemaining_);
      continue;
    }
    request.SetValue(name, value);
    if (name == "CONNECTION" && EqualsIgnoreCase(value, "close")) request.close = true;
    if (name == "TRANSFER-ENCODING" && EqualsIgnoreCase(value, "chunked")) {
      chunked_ = true;
      chunkState_ = 0;
    }
  }
  const std::string type = request.ContentType();
  if (UpperCase(std::string_view(type).substr(0, 19)) == "MULTIPART/FORM-DATA") {
    const size_t at = UpperCase(type).find("BOUNDARY=");
    if (at != std::string::npos) {
      std::string boundary = type.substr(at + 9);
      if (boundary.size() >= 2 && boundary.front() == '"' && boundary.back() == '"') {
        boundary = boundary.substr(1, boundary.size() - 2);
      }
      request.Params().SetDelimiter(boundary);
    }
  }
}

HttpReader::ChunkStep HttpReader::ReadChunked(ServerRequest& request, const Callbacks& callbacks) {
  switch (chunkState_) {
    case 0: {
      // A size line is held to the request line's limit, however the bytes were split into
      // packets; otherwise one that never ends would grow the buffer without bound.
      const size_t end = Find(kCrLf);
      const size_t max = limits_.maxRequestSize;
      if (max > 0 && (end == std::string::npos ? input_.size() > max + 2 : end > max)) {
        return ChunkStep::kInvalid;
      }
      if (end == std::string::npos) return ChunkStep::kNeedMore;
      chunkRemaining_ = ChunkSize(TrimControl(std::string_view(input_).substr(0, end)));
      Consume(end + 2);
      chunkState_ = 1;
      return ChunkStep::kStep;
    }
    case 1:
      if (input_.empty()) return ChunkStep::kNeedMore;
      if (static_cast<int64_t>(input_.size()) < chunkRemaining_) {
        content_ += input_;
        request.contentIn += static_cast<int64_t>(input_.size());
        chunkRemaining_ -= static_cast<int64_t>(input_.size());
        Consume(input_.size());
        if (callbacks.received) callbacks.received();
        request.started = false;
      } else if (chunkRemaining_ > 0) {
        content_.append(input_, 0, static_cast<size_t>(chunkRemaining_));
        Consume(static_cast<size_t>(chunkRemaining_));
        request.contentIn += chunkRemaining_;
        chunkRemaining_ = 0;
        chunkState_ = 2;
      } else {
        chunkState_ = 3;
      }
      return ChunkStep::kStep;
    default:
      if (input_.size() < 2) return ChunkStep::kNeedMore;
      Consume(2);
      if (chunkState_ == 2) {
        chunkState_ = 0;
      } else {
        request.complete = true;
        headerComplete_ = lineSeen_ = false;
      }
      if (callbacks.received) callbacks.received();
      request.started = false;
      return ChunkStep::kStep;
  }
}

void HttpReader::Invalid(ServerRequest& request, std::string_view fileName,
                         const Callbacks& callbacks) {
  lineSeen_ = false;
  request.SetFileName(std::string(fileName));
  if (callbacks.invalid) callbacks.invalid();
}

std::string HttpReader::TakeContent() {
  std::string content;
  content.swap(content_);
  return content;
}

void HttpReader::RequestDone() {
  // A connection waiting for its next request keeps no room from the last one.
  std::string().swap(content_);
  if (input_.empty()) std::string().swap(input_);
  lineSeen_ = headerComplete_ = false;
  contentRemaining_ = 0;
  chunked_ = false;
  chunkState_ = 0;
  chunkRemaining_ = 0;
}

}  // namespace vidoria
