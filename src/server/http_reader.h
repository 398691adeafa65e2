// Turns the bytes of one connection into requests, one request at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "server/http_records.h"

namespace vidoria {

struct HttpReaderLimits {
  uint32_t maxRequestSize = 0;  // longest request line; 0: no limit
  uint32_t maxHeaderSize = 0;   // longest header block; 0: no limit
  ServerRequestFixup fixup;
};

// The reader fills a connection's request record and reports two steps through callbacks:
// `received` each time the request gained something a provider may act on (the header, body
// bytes, completion), and `invalid` for a request that breaks the limits or the syntax (the
// connection is then closed by the caller). After a complete request it stops: bytes that follow
// wait in the buffer until the response has been sent and Resume is called.
// Not thread-safe: belongs to one connection's job.
class HttpReader {
 public:
  struct Callbacks {
    std::function<void()> received;
    std::function<void()> invalid;
  };
  enum class Outcome {
    kNeedMore,  // everything buffered was used; waiting for more bytes
    kBusy,      // a complete request awaits its response; `DataPending` tells if bytes wait
    kInvalid,   // the request was refused; stop reading
  };

  explicit HttpReader(HttpReaderLimits limits) : limits_(limits) {}

  void Append(std::string_view bytes) { input_.append(bytes); }
  // Parses as far as the buffer allows, calling back into the connection as it goes.
  Outcome Process(ServerRequest& request, ServerResponse& response, const Callbacks& callbacks);

  // Read(): the body bytes received and not yet taken.
  std::string TakeContent();
  // The response to the current request has left: start waiting for the next request line.
  void RequestDone();

  bool DataPending() const { return dataPending_; }
  void SetDataPending(bool pending) { dataPending_ = pending; }
  size_t Buffered() const { return input_.size(); }
  const HttpReaderLimits& Limits() const { return limits_; }

 private:
  bool ParseRequestLine(ServerRequest& request, ServerResponse& response, size_t lineEnd);
  void ParseHeaderBlock(ServerRequest& request, std::string_view block);
  enum class ChunkStep { kStep, kNeedMore, kInvalid };
  ChunkStep ReadChunked(ServerRequest& request, const Callbacks& callbacks);
  // Finds `needle` in the input, skipping what earlier calls searched in vain.
  size_t Find(std::string_view needle);
  // Drops bytes from the front of the input.
  void Consume(size_t count);
  void Invalid(ServerRequest& request, std::string_view fileName, const Callbacks& callbacks);

  const HttpReaderLimits limits_;
  std::string input_;
  size_t searched_ = 0;  // leading input bytes known to hold no needle; reset by Consume
  std::string content_;
  bool lineSeen_ = false;
  bool headerComplete_ = false;
  int64_t contentRemaining_ = 0;  // -1: not announced
  bool chunked_ = false;
  int chunkState_ = 0;  // 0 size line, 1 data, 2 data done (CR LF), 3 last chunk (final CR LF)
  int64_t chunkRemaining_ = 0;
  bool dataPending_ = false;
};

}  // namespace vidoria
