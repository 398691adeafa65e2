#include "server/response_writer.h"

#include <algorithm>

#include "server/connection.h"
#include "server/exceptions.h"

namespace vidoria {

void ResponseWriter::Write(std::string_view text) {
  Connection& c = connection_;
  if (!c.Open()) return;
  if (c.response.done) throw EConnection("Error! Answer allready sent for this request.");
  c.idle_.Apply(c.settings_.timeout.afterDataSend);
  auto checkLength = [&] {
    if (c.response.HasContentLength() &&
        static_cast<int64_t>(text.size()) > c.response.ContentLength() - c.response.contentOut) {
      throw EConnection("Error! Sending more data out than specified in header.");
    }
  };
  if (c.response.headerSent) {
    checkLength();
    SendBody(text);
    return;
  }
  if (!c.response.HasContentLength() || outputBuffering_) {
    outputBuffering_ = true;
    outputBuffer_.append(text);
    return;
  }
  WriteHeaderNow(text.empty());
  checkLength();
  SendBody(text);
}

void ResponseWriter::WriteHeader(bool sendNow) {
  if (connection_.response.headerSent) {
    throw EConnection("Error! Sending multiple headers for one request.");
  }
  connection_.idle_.Apply(connection_.settings_.timeout.afterDataSend);
  WriteHeaderNow(sendNow);
}

void ResponseWriter::WriteHeader(std::string_view headerText, bool sendNow) {
  if (headerText.empty()) {
    connection_.request.close = true;
    return;
  }
  connection_.response.SetHeaderText(headerText);
  WriteHeader(sendNow);
}

void ResponseWriter::WriteHeaderNow(bool sendNow) {
  if (headerWritten_) {
    throw EConnection("Last header intercepted with new header, before data sent out.");
  }
  ServerResponse& response = connection_.response;
  std::string header = "HTTP/1.1 " + std::to_string(response.statusCode) + " " +
                       response.statusText + "\r\n" + response.HeaderText();
  if (connection_.request.close) header += "Connection: close\r\n";
  header += "\r\n";
  response.headerSent = true;
  response.sending = true;
  if (response.sendContent && !response.HasContentLength()) {
    contentToWrite_ = -1;
    bytesToDeliver_ = -1;
  } else {
    contentToWrite_ = response.sendContent ? response.ContentLength() : 0;
    // A HEAD answer announces the length but carries no body.
    if (!response.sendContent) response.SetValue("CONTENT-LENGTH", "");
    bytesToDeliver_ = static_cast<int64_t>(header.size()) + contentToWrite_;
  }
  response.done = contentToWrite_ == 0;
  // The session lock of a request is released once its last byte has been written.
  if (response.done) connection_.ReleaseSessionLock();
  headerWritten_ = true;
  out_.append(header);
  // With a body to follow and no hurry, the header leaves together with its first piece.
  if (sendNow || contentToWrite_ <= 0) TrySend();
}

void ResponseWriter::SendBody(std::string_view text) {
  if (text.empty()) return;
  if (!headerWritten_) {
    throw EConnection("Trying to send Data without Header. Call WriteHeader before Write.");
  }
  const auto size = static_cast<int64_t>(text.size());
  if (contentToWrite_ >= 0) {
    if (size > contentToWrite_) {
      throw EConnection("Trying to send more Data out than specified in Header.");
    }
    contentToWrite_ -= size;
  }
  ServerResponse& response = connection_.response;
  response.done = contentToWrite_ == 0;
  response.contentOut += size;
  if (response.done) connection_.ReleaseSessionLock();
  out_.append(text);
  TrySend();
}

void ResponseWriter::Flush() {
  if (!outputBuffering_) return;
  outputBuffering_ = false;
  ServerResponse& response = connection_.response;
  if (response.done) throw EConnection("Error! Answer allready sent for this request.");
  if (!response.headerSent) {
    if (!response.HasContentLength()) {
      response.SetContentLength(static_cast<int64_t>(outputBuffer_.size()));
    }
    WriteHeaderNow(false);
  }
  std::string collected;
  collected.swap(outputBuffer_);
  SendBody(collected);
}

void ResponseWriter::TrySend() {
  // Sends inside OnDataOut handlers land here again; the outer loop sends what they added.
  if (sending_ || sendFailed_ || !connection_.Open()) return;
  sending_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{sending_};
  Socket& socket = *connection_.socket_;
  // Raised before any send can find the buffer full, so that its write readiness is not skipped.
  if (outPos_ < out_.size()) connection_.OutputWaiting(true);
  bool sentNow = false;
  while (outPos_ < out_.size() && connection_.Open()) {
    const size_t chunk = std::min(out_.size() - outPos_, sendBlock_);
    const Socket::Result sent = socket.Send(out_.data() + outPos_, chunk);
    if (sent.status == Socket::Status::kWouldBlock) break;  // write readiness resumes
    if (sent.status != Socket::Status::kDone) {
      sendFailed_ = true;
      break;
    }
    outPos_ += sent.bytes;
    sentNow = sentSomething_ = true;
    if (outPos_ == out_.size()) {
      out_.clear();
      outPos_ = 0;
    }
    Delivered(sent.bytes);
    connection_.OnSent(sent.bytes);
  }
  connection_.OutputWaiting(!sendFailed_ && outPos_ < out_.size());
  if (outPos_ > 0 && outPos_ >= out_.size() / 2) {
    out_.erase(0, outPos_);
    outPos_ = 0;
  }
  if (sentNow && out_.empty() && !sendFailed_ && !dataSentQueued_) {
    dataSentQueued_ = true;
    connection_.PostMessage(ConnectionMessage::kDataSent);
  }
}

void ResponseWriter::Delivered(size_t n) {
  ServerResponse& response = connection_.response;
  if (!response.headerSent || bytesToDeliver_ < 0) return;
  bytesToDeliver_ -= static_cast<int64_t>(n);
  response.sent = bytesToDeliver_ <= 0;
  if (response.sent) {
    connection_.request.started = false;
    connection_.request.active = false;
    response.sending = false;
    response.headerSent = false;
    headerWritten_ = false;
  }
}

}  // namespace vidoria
