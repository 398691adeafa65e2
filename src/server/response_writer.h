// Writes a connection's answers: the header, the body, collected output and the socket sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "server/answer_file.h"

namespace vidoria {

class Connection;
class ServerRequest;
class ServerResponse;

// Part of one Connection and used from its jobs only (no lock). It turns Write and WriteHeader
// into bytes for the connection's Socket, keeps what the socket did not take yet, and reports
// each send back to the connection (OnSent), which runs the data-out events.
//
// The writer owns the response record's HeaderSent, Sending, Done and Sent flags and
// ContentOut; see ServerResponse for their legal states.
//
// Output waiting to leave is the text in out_, then at most one stretch of the answer's file
// (file_), sent with Socket::SendFile. Text or a stretch written while one waits is put behind
// it by reading the waiting stretch into out_ first, so bytes leave in the order written.
class ResponseWriter {
 public:
  // `request` and `response` are the connection's records this writer answers (its exchange's).
  ResponseWriter(Connection& connection, ServerRequest& request, ServerResponse& response)
      : connection_(connection), request_(request), response_(response) {}
  ResponseWriter(const ResponseWriter&) = delete;
  ResponseWriter& operator=(const ResponseWriter&) = delete;

  void Write(std::string_view text);
  // Writes `length` bytes of the file at `path` from `offset` as Write writes text (the same
  // checks, errors, ContentOut and Done, the header first), but they leave straight from the
  // file, each send reported as for text. The file stays open for the answer's further pieces
  // (AnswerFile). Answers without an announced length, or collected output, get the bytes as
  // text. When the file cannot be opened, ends or fails before the stretch has left, the bytes
  // not sent are taken back from ContentOut (Done falls) and `onReadError` runs as an event.
  void WriteFile(const std::string& path, int64_t offset, int64_t length,
                 std::function<void(Connection&)> onReadError);
  // The answer's file, opened already by the handler that chose it: WriteFile of its path sends
  // from it instead of opening the path again. Closed with the answer like a file WriteFile
  // opened; ignored while a stretch of another file is still waiting.
  void UseFile(AnswerFile file);
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
  // Between answers: gives back the memory of output buffers that hold nothing now.
  void ReleaseBuffers();
  // The connection closed: its output goes, and the answer's file is closed now.
  void DropOutput();

 private:
  void WriteHeaderNow(bool sendNow);
  void SendBody(std::string_view text);
  // Counts `size` more body bytes as written; raises the errors of writing past the length.
  void CountBody(int64_t size);
  // Reads the waiting stretch into out_, behind the text before it.
  void SettleFile();
  // The waiting stretch could not be sent to its end: takes its bytes back and reports.
  void FileFailed();
  // Accounts `n` bytes taken by the socket against the answer being delivered.
  void Delivered(size_t n);

  Connection& connection_;
  ServerRequest& request_;
  ServerResponse& response_;
  bool headerWritten_ = false;    // a header of the current answer went into the output
  int64_t contentToWrite_ = -1;   // body bytes still to be written; -1: length unknown
  int64_t bytesToDeliver_ = -1;   // header and body bytes still to leave; -1: unknown
  bool outputBuffering_ = false;  // Write collects into outputBuffer_ until Flush
  std::string outputBuffer_;
  // Socket output not yet taken by the kernel: out_ from outPos_ on, then file_.
  std::string out_;
  size_t outPos_ = 0;
  AnswerFile file_;
  int64_t fileOffset_ = 0;  // the waiting stretch of file_
  int64_t fileLeft_ = 0;
  std::function<void(Connection&)> onFileError_;
  size_t sendBlock_ = 64240;
  bool sending_ = false;         // TrySend is running (handlers of OnSent may call it again)
  bool sendFailed_ = false;      // the peer is gone; its hang-up closes the connection
  bool sentSomething_ = false;   // any byte left through this connection
  bool dataSentQueued_ = false;  // a data-sent message waits in the queue
};

}  // namespace vidoria
