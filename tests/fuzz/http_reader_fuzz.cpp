// Fuzz entry point for HttpReader. The reader is a pure state machine, so the driver plays the
// connection around it: it appends the input in packets, processes after each one, takes body
// bytes the way a provider does and answers every complete request before reading on. Every
// broken expectation aborts, so libFuzzer (build.sh) and the plain replay driver
// (replay_main.cpp) both see it as a crash.
//
// Each input is used twice:
//  - As a stream, with the limits the program runs with, once in a single piece and once cut
//    into packets (sizes from a hash of the input). Both runs must parse the same requests: where
//    the packets of a connection end must never change what it asked for.
//  - With small limits and options from its first four bytes, the rest being the stream, so the
//    refusal paths and the request fixups are reached too:
//      byte 0  longest request line, 0: no limit
//      byte 1  longest header block / 2, 0: no limit
//      byte 2  bits 0-3: fixups (RemovePrefix, DecodeFileName, DecodeQuery, UpperCaseFileName)
//              bits 4-5: take body bytes on every Nth `received` (0: only once complete)
//              bit 6: answer as soon as the header is in, before the body (no second run then)
//      byte 3  largest packet - 1
//    Unless it answers early, this stream is also run in a single piece and must match.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_expect.h"
#include "server/http_reader.h"
#include "server/http_records.h"
#include "server/text.h"

namespace vidoria {
namespace {

// MaxRequestSize and MaxHeaderSize as the program sets them.
constexpr uint32_t kProgramMaxRequest = 128000;
constexpr uint32_t kProgramMaxHeader = 16000;
// The reader searches its whole buffer on every call, so thousands of tiny packets over a large
// input would spend the time rescanning instead of reaching new states.
constexpr size_t kMaxPackets = 512;

[[noreturn]] void Broken(const char* what, int line) {
  std::fprintf(stderr, "http_reader_fuzz.cpp:%d: expectation broken: %s\n", line, what);
  std::abort();
}

#define FUZZ_EXPECT(condition)                      \
  do {                                              \
    if (!(condition)) Broken(#condition, __LINE__); \
  } while (false)

// splitmix64: small, and the same sequence on every platform.
struct Random {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
  }
};

bool ContainsIgnoreCase(std::string_view text, std::string_view word) {
  return UpperCase(text).find(UpperCase(word)) != std::string::npos;
}

// Packet sizes adding up to `total`; at least one packet, even for an empty stream.
std::vector<size_t> Cut(size_t total, Random& random, size_t largest) {
  std::vector<size_t> packets;
  while (total > 0 && packets.size() + 1 < kMaxPackets) {
    const size_t size = std::min<size_t>(total, 1 + random.Next() % largest);
    packets.push_back(size);
    total -= size;
  }
  if (total > 0 || packets.empty()) packets.push_back(total);
  return packets;
}

struct Plan {
  HttpReaderLimits limits;
  unsigned takeEvery = 0;       // take body bytes on every Nth `received`; 0: only once complete
  bool answerEarly = false;     // the response leaves as soon as the header is in
  bool lengthsTrusted = false;  // no Transfer-Encoding anywhere: Content-Length sizes each body
};

void Field(std::string& out, std::string_view text) {
  out += std::to_string(text.size());
  out += ':';
  out.append(text);
  out += ' ';
}

// What a provider would see of the request; two runs of one stream must agree on it.
void Record(std::string& out, ServerRequest& request, std::string_view content) {
  Field(out, request.Method());
  Field(out, request.FileName());
  Field(out, request.RawPath());
  Field(out, request.URI());
  Field(out, request.HeaderText());
  Field(out, request.close ? "close" : "keep");
  Field(out, std::to_string(request.contentIn));
  Field(out, content);
  out += '\n';
}

// Reads the request the way providers do, so the value lists are parsed on fuzzed text too.
void Browse(ServerRequest& request, std::string_view content) {
  const HttpValues& query = request.Query();
  for (size_t i = 0; i < query.Count(); ++i) query.Value(query.Name(i));
  const HttpValues& cookie = request.Cookie();
  for (size_t i = 0; i < cookie.Count(); ++i) cookie.Value(cookie.Name(i));
  for (const std::string& part : request.FilePath()) {
    FUZZ_EXPECT(!part.empty() && part.find('/') == std::string::npos);
  }
  request.Host();
  request.Agent();
  HttpValues& params = request.Params();
  params.AddText(content);
  for (size_t i = 0; i < params.Count(); ++i) params.ValueAt(i);
}

// "NAME: value" CR LF lines: names upper-cased and trimmed as the reader stores them, values
// trimmed and never empty (HeaderText leaves empty ones out), each line within the header limit.
void CheckHeaderText(const ServerRequest& request, uint32_t maxHeader) {
  const std::string text = request.HeaderText();
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t end = rest.find("\r\n");
    FUZZ_EXPECT(end != std::string_view::npos);
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 2);
    const size_t colon = line.find(':');
    FUZZ_EXPECT(colon != std::string_view::npos && line.substr(colon, 2) == ": ");
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = line.substr(colon + 2);
    // Cookie lines are rebuilt from the cookie list, which keeps the client's own spelling.
    if (name == request.CookieHeaderName()) continue;
    FUZZ_EXPECT(UpperCase(name) == name && TrimControl(name) == name);
    FUZZ_EXPECT(!value.empty() && TrimControl(value) == value);
    if (maxHeader > 0) FUZZ_EXPECT(name.size() + value.size() < maxHeader);
  }
}

void CheckComplete(ServerRequest& request, std::string_view content, const Plan& plan) {
  const std::string& method = request.Method();
  FUZZ_EXPECT(UpperCase(method) == method);
  FUZZ_EXPECT(TrimControl(method) == method);
  FUZZ_EXPECT(method.find(' ') == std::string::npos);
  FUZZ_EXPECT(request.RawPath().find(' ') == std::string::npos);
  if (plan.limits.maxRequestSize > 0) {
    FUZZ_EXPECT(method.size() + request.RawPath().size() <= plan.limits.maxRequestSize);
  }
  CheckHeaderText(request, plan.limits.maxHeaderSize);

  FUZZ_EXPECT(static_cast<int64_t>(content.size()) == request.contentIn);
  int64_t length = 0;
  try {
    length = request.ContentLength();  // the reader stores the number it used
  } catch (const std::exception&) {
    Broken("ContentLength() readable", __LINE__);
  }
  if (plan.lengthsTrusted) FUZZ_EXPECT(request.contentIn == std::max<int64_t>(0, length));
  Browse(request, content);
}

// Feeds `stream` in `packets` and returns a transcript of the requests parsed.
std::string Run(std::string_view stream, const Plan& plan, const std::vector<size_t>& packets) {
  HttpReader reader(plan.limits);
  ServerRequest request;
  ServerResponse response;
  std::string transcript;
  std::string content;  // body bytes taken for the current request
  int received = 0;
  int invalid = 0;
  bool headerIn = false;  // `received` came for the current request
  int64_t lastContentIn = 0;
  size_t appended = 0;

  HttpReader::Callbacks callbacks;
  callbacks.received = [&] {
    FUZZ_EXPECT(invalid == 0);
    FUZZ_EXPECT(request.active);  // only a request whose line was accepted is handed on
    FUZZ_EXPECT(request.contentIn >= lastContentIn);
    lastContentIn = request.contentIn;
    headerIn = true;
    ++received;
    if (plan.takeEvery > 0 && received % plan.takeEvery == 0) content += reader.TakeContent();
    FUZZ_EXPECT(static_cast<int64_t>(content.size()) <= request.contentIn);
  };
  callbacks.invalid = [&] { ++invalid; };

  // Both limits set: after "need more" the buffer holds at most an unfinished request line,
  // header block or chunk size line, each bounded by its limit.
  const size_t bound = std::max<size_t>(size_t{plan.limits.maxRequestSize} + 2,
                                        size_t{plan.limits.maxHeaderSize} + 4);
  const bool bounded = plan.limits.maxRequestSize > 0 && plan.limits.maxHeaderSize > 0;
  // Two calls per packet and two per complete request, which eats at least 8 bytes.
  const size_t maxCalls = 2 * packets.size() + stream.size() + 16;
  size_t calls = 0;
  auto process = [&] {
    FUZZ_EXPECT(++calls <= maxCalls);
    const size_t before = reader.Buffered();
    const int invalidBefore = invalid;
    const bool wasComplete = request.complete;
    reader.SetDataPending(false);  // as the connection does before each read
    const HttpReader::Outcome outcome = reader.Process(request, response, callbacks);
    FUZZ_EXPECT(reader.Buffered() <= before);
    FUZZ_EXPECT(request.contentIn >= 0);
    FUZZ_EXPECT(static_cast<size_t>(request.contentIn) <= appended);
    FUZZ_EXPECT(invalid - invalidBefore == (outcome == HttpReader::Outcome::kInvalid ? 1 : 0));
    switch (outcome) {
      case HttpReader::Outcome::kBusy:
        FUZZ_EXPECT(request.complete);
        FUZZ_EXPECT(wasComplete ? reader.Buffered() == before : reader.Buffered() < before);
        FUZZ_EXPECT(reader.DataPending() == (reader.Buffered() > 0));
        break;
      case HttpReader::Outcome::kNeedMore:
        FUZZ_EXPECT(!request.complete);
        FUZZ_EXPECT(!reader.DataPending());
        if (bounded) FUZZ_EXPECT(reader.Buffered() <= bound);
        break;
      case HttpReader::Outcome::kInvalid:
        break;
    }
    return outcome;
  };
  // The response has left: what the connection does once the last byte is sent.
  auto answer = [&] {
    content += reader.TakeContent();
    FUZZ_EXPECT(static_cast<int64_t>(content.size()) == request.contentIn);
    request.Clear();
    request.active = false;
    response.Clear();
    reader.RequestDone();
    content.clear();
    lastContentIn = 0;
    headerIn = false;
  };

  size_t offset = 0;
  for (const size_t packet : packets) {
    const size_t before = reader.Buffered();
    reader.Append(stream.substr(offset, packet));
    offset += packet;
    appended += packet;
    FUZZ_EXPECT(reader.Buffered() == before + packet);
    for (;;) {
      const HttpReader::Outcome outcome = process();
      if (outcome == HttpReader::Outcome::kInvalid) {
        transcript += "invalid\n";
        return transcript;
      }
      if (outcome == HttpReader::Outcome::kNeedMore) break;
      // A read while the response is on its way must leave the next request waiting.
      const int receivedBusy = received;
      FUZZ_EXPECT(process() == HttpReader::Outcome::kBusy && received == receivedBusy);
      content += reader.TakeContent();
      CheckComplete(request, content, plan);
      Record(transcript, request, content);
      answer();
    }
    // A read that finds no new bytes (the socket said EAGAIN) must change nothing.
    const size_t buffered = reader.Buffered();
    const int receivedBefore = received;
    FUZZ_EXPECT(process() == HttpReader::Outcome::kNeedMore);
    FUZZ_EXPECT(reader.Buffered() == buffered && received == receivedBefore);
    if (plan.answerEarly && headerIn) {
      transcript += "answered early\n";
      answer();
    }
  }
  FUZZ_EXPECT(offset == stream.size());

  // All bytes are in, so the unfinished request too must look the same however they came.
  content += reader.TakeContent();
  FUZZ_EXPECT(static_cast<int64_t>(content.size()) == request.contentIn);
  transcript += "unfinished ";
  Field(transcript, std::to_string(reader.Buffered()));
  Record(transcript, request, content);
  return transcript;
}

void ExpectSame(const std::string& whole, const std::string& cut, int line) {
  if (whole == cut) return;
  // Raw bytes, NULs included; the start is enough to see where the runs part.
  const auto show = [](const char* title, const std::string& text) {
    std::fputs(title, stderr);
    std::fwrite(text.data(), 1, std::min<size_t>(text.size(), 4000), stderr);
  };
  show("--- in one piece:\n", whole);
  show("\n--- in packets:\n", cut);
  std::fputc('\n', stderr);
  Broken("the same requests whatever the packet boundaries", line);
}

}  // namespace
}  // namespace vidoria

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vidoria;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Random random{vidoria::fuzz::Hash(input)};

  Plan program;
  program.limits.maxRequestSize = kProgramMaxRequest;
  program.limits.maxHeaderSize = kProgramMaxHeader;
  program.lengthsTrusted = !ContainsIgnoreCase(input, "transfer-encoding");
  const std::string whole = Run(input, program, {size});
  // From single bytes up to a full receive buffer (HttpServer::SocketBufferSize).
  constexpr size_t kLargest[] = {1, 2, 7, 64, 1460, 64240};
  const size_t largest = kLargest[random.Next() % std::size(kLargest)];
  program.takeEvery = static_cast<unsigned>(random.Next() % 4);
  ExpectSame(whole, Run(input, program, Cut(size, random, largest)), __LINE__);

  if (size < 4) return 0;
  const std::string_view stream = input.substr(4);
  Plan small;
  small.limits.maxRequestSize = data[0];
  small.limits.maxHeaderSize = 2u * data[1];
  small.limits.fixup.removePrefix = (data[2] & 1) != 0;
  small.limits.fixup.decodeFileName = (data[2] & 2) != 0;
  small.limits.fixup.decodeQuery = (data[2] & 4) != 0;
  small.limits.fixup.upperCaseFileName = (data[2] & 8) != 0;
  small.takeEvery = (data[2] >> 4) & 3;
  small.answerEarly = (data[2] & 64) != 0;
  small.lengthsTrusted = !ContainsIgnoreCase(stream, "transfer-encoding");
  const std::string cut = Run(stream, small, Cut(stream.size(), random, size_t{data[3]} + 1));
  if (!small.answerEarly) {
    small.takeEvery = 0;
    ExpectSame(Run(stream, small, {stream.size()}), cut, __LINE__);
  }
  return 0;
}
