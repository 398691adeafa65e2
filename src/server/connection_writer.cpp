// The response writer of a connection: header, body, collected output and socket sends.
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "server/connection.h"
#include "server/exceptions.h"

namespace vidoria {

std::string Connection::Read() {
  if (!Open()) return {};
  std::string content = reader_.TakeContent();
  if (!content.empty()) ApplyTimeout(settings_.Timeout.AfterDataReceived);
  return content;
}

void Connection::Write(std::string_view text) {
  if (!Open()) return;
  if (Response.Done) throw EConnection("Error! Answer allready sent for this request.");
  ApplyTimeout(settings_.Timeout.AfterDataSend);
  auto checkLength = [&] {
    if (Response.HasContentLength() &&
        static_cast<int64_t>(text.size()) > Response.ContentLength() - Response.ContentOut) {
      throw EConnection("Error! Sending more data out than specified in header.");
    }
  };
  if (Response.HeaderSent) {
    checkLength();
    SendBody(text);
    return;
  }
  if (!Response.HasContentLength() || outputBuffering_) {
    outputBuffering_ = true;
    outputBuffer_.append(text);
    return;
  }
  WriteHeaderNow(text.empty());
  checkLength();
  SendBody(text);
}

void Connection::WriteHeader(bool sendNow) {
  if (Response.HeaderSent) throw EConnection("Error! Sending multiple headers for one request.");
  ApplyTimeout(settings_.Timeout.AfterDataSend);
  WriteHeaderNow(sendNow);
}

void Connection::WriteHeader(std::string_view headerText, bool sendNow) {
  if (headerText.empty()) {
    Request.Close = true;
    return;
  }
  Response.SetHeaderText(headerText);
  WriteHeader(sendNow);
}

void Connection::WriteHeaderNow(bool sendNow) {
  if (headerWritten_) {
    throw EConnection("Last header intercepted with new header, before data sent out.");
  }
  std::string header = "HTTP/1.1 " + std::to_string(Response.StatusCode) + " " +
                       Response.StatusText + "\r\n" + Response.HeaderText();
  if (Request.Close) header += "Connection: close\r\n";
  header += "\r\n";
  Response.HeaderSent = true;
  Response.Sending = true;
  if (Response.SendContent && !Response.HasContentLength()) {
    contentToWrite_ = -1;
    bytesToDeliver_ = -1;
  } else {
    contentToWrite_ = Response.SendContent ? Response.ContentLength() : 0;
    // A HEAD answer announces the length but carries no body.
    if (!Response.SendContent) Response.SetValue("CONTENT-LENGTH", "");
    bytesToDeliver_ = static_cast<int64_t>(header.size()) + contentToWrite_;
  }
  Response.Done = contentToWrite_ == 0;
  if (Response.Done) LastWrite();
  headerWritten_ = true;
  AppendOutput(header);
  // With a body to follow and no hurry, the header leaves together with its first piece.
  if (sendNow || contentToWrite_ <= 0) TrySend();
}

void Connection::SendBody(std::string_view text) {
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
  Response.Done = contentToWrite_ == 0;
  Response.ContentOut += size;
  if (Response.Done) LastWrite();
  AppendOutput(text);
  TrySend();
}

void Connection::Flush() {
  if (!outputBuffering_) return;
  outputBuffering_ = false;
  if (Response.Done) throw EConnection("Error! Answer allready sent for this request.");
  if (!Response.HeaderSent) {
    if (!Response.HasContentLength()) {
      Response.SetContentLength(static_cast<int64_t>(outputBuffer_.size()));
    }
    WriteHeaderNow(false);
  }
  std::string collected;
  collected.swap(outputBuffer_);
  SendBody(collected);
}

void Connection::LastWrite() {
  // The session lock of a request is released once its last byte has been written.
  ReleaseSessionLock();
}

void Connection::TrySend() {
  // Sends inside OnDataOut handlers land here again; the outer loop sends what they added.
  if (sending_ || sendFailed_ || fd_ < 0) return;
  sending_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{sending_};
  bool sentNow = false;
  while (outPos_ < out_.size() && fd_ >= 0 && !closing_) {
    const size_t chunk = std::min(out_.size() - outPos_, sendBlock_);
    const ssize_t n = ::send(fd_, out_.data() + outPos_, chunk, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      outPos_ += static_cast<size_t>(n);
      sentNow = sentSomething_ = true;
      if (outPos_ == out_.size()) {
        out_.clear();
        outPos_ = 0;
      }
      OnSent(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;  // write readiness resumes
    sendFailed_ = true;  // the peer is gone; its hang-up closes the connection
    break;
  }
  if (outPos_ > 0 && outPos_ >= out_.size() / 2) {
    out_.erase(0, outPos_);
    outPos_ = 0;
  }
  if (sentNow && out_.empty() && !sendFailed_ && !dataSentQueued_) {
    dataSentQueued_ = true;
    PostMessage(Message::kDataSent);
  }
}

}  // namespace vidoria
