// Writes a connection's answers: the header, the body, collected output and the socket sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vidoria {

class Connection;

// Part of one Connection and used from its jobs only (no lock). It turns Write and WriteHeader
// into bytes for the connection's Socket, keeps what the socket did not take yet, and reports
// each send back to the connection (OnSent), which runs the data-out events.
//
// The writer owns the response record's HeaderSent, Sending, Done and Sent flags and
// ContentOut; see ServerResponse for their legal states.
class ResponseWriter {
 public:
  explicit ResponseWriter(Connection& connection) : connection_(connection) {}
  ResponseWriter(const ResponseWriter&) = delete;
  ResponseWriter& operator=(const ResponseWriter&) = delete;

  void Write(std::string_view text);
  void WriteHeader(bool sendNow);
  void WriteHeader(std::string_view headerText, bool sendNow);
  // Sends the output collected during an event, with its computed length when none was set.
  void Flush();
  // Hands waiting output to the socket until it is all taken or the socket would block; on
  // write readiness again. Posts the data-sent message once all output has left.
  void TrySend();

  void SetSendBlock(size_t bytes) { sendBlock_ = bytes; }
  // The data-sent message is being handled: the next complete send may post another one.
  void DataSentArrived() { dataSentQueued_ = false; }
  bool SentSomething() const { return sentSomething_; }

 private:
  void WriteHeaderNow(bool sendNow);
  void SendBody(std::string_view text);
  // Accounts `n` bytes taken by the socket against the answer being delivered.
  void Delivered(size_t n);

  Connection& connection_;
  bool headerWritten_ = false;    // a header of the current answer went into the output
  int64_t contentToWrite_ = -1;   // body bytes still to be written; -1: length unknown
  int64_t bytesToDeliver_ = -1;   // header and body bytes still to leave; -1: unknown
  bool outputBuffering_ = false;  // Write collects into outputBuffer_ until Flush
  std::string outputBuffer_;
  // Socket output not yet taken by the kernel, from outPos_ on.
  std::string out_;
  size_t outPos_ = 0;
  size_t sendBlock_ = 64240;
  bool sending_ = false;         // TrySend is running (handlers of OnSent may call it again)
  bool sendFailed_ = false;      // the peer is gone; its hang-up closes the connection
  bool sentSomething_ = false;   // any byte left through this connection
  bool dataSentQueued_ = false;  // a data-sent message waits in the queue
};

}  // namespace vidoria
