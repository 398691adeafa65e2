#include "server/response_writer.h"

#include <algorithm>

#include "server/connection.h"
#include "server/exceptions.h"

namespace vidoria {

void ResponseWriter::Write(std::string_view text) {
  Connection& c = connection_;
  if (!c.Open()) return;
  if (response_.done) throw EConnection("Error! Answer allready sent for this request.");
  c.idle_.Apply(c.settings_.timeout.afterDataSend);
  auto checkLength = [&] {
    if (response_.HasContentLength() &&
        static_cast<int64_t>(text.size()) > response_.ContentLength() - response_.contentOut) {
      throw EConnection("Error! Sending more data out than specified in header.");
    }
  };
  if (response_.headerSent) {
    checkLength();
    SendBody(text);
    return;
  }
  if (!response_.HasContentLength() || outputBuffering_) {
    outputBuffering_ = true;
    outputBuffer_.append(text);
    return;
  }
  WriteHeaderNow(text.empty());
  checkLength();
  SendBody(text);
}

void ResponseWriter::WriteHeader(bool sendNow) {
  if (response_.headerSent) {
    throw EConnection("Error! Sending multiple headers for one request.");
  }
  connection_.idle_.Apply(connection_.settings_.timeout.afterDataSend);
  WriteHeaderNow(sendNow);
}

void ResponseWriter::WriteHeader(std::string_view headerText, bool sendNow) {
  if (headerText.empty()) {
    request_.close = true;
    return;
  }
  response_.SetHeaderText(headerText);
  WriteHeader(sendNow);
}

void ResponseWriter::WriteHeaderNow(bool sendNow) {
  if (headerWritten_) {
    throw EConnection("Last header intercepted with new header, before data sent out.");
  }
  // Written straight behind whatever output still waits, without a text of its own.
  const size_t headerStart = out_.size();
  out_.append("HTTP/1.1 ").append(std::to_string(response_.statusCode)).append(" ");
  out_.append(response_.statusText).append("\r\n");
  response_.AppendHeaderText(out_);
  if (request_.close) out_.append("Connection: close\r\n");
  out_.append("\r\n");
  const size_t headerSize = out_.size() - headerStart;
  response_.headerSent = true;
  response_.sending = true;
  if (response_.sendContent && !response_.HasContentLength()) {
    contentToWrite_ = -1;
    bytesToDeliver_ = -1;
  } else {
    try {
      contentToWrite_ = response_.sendContent ? response_.ContentLength() : 0;
    } catch (...) {
      out_.resize(headerStart);  // a length that is no number leaves no header behind
      throw;
    }
    // A HEAD answer announces the length but carries no body.
    if (!response_.sendContent) response_.SetValue("CONTENT-LENGTH", "");
    bytesToDeliver_ = static_cast<int64_t>(headerSize) + contentToWrite_;
  }
  response_.done = contentToWrite_ == 0;
  // The session lock of a request is released once its last byte has been written.
  if (response_.done) connection_.ReleaseSessionLock();
  headerWritten_ = true;
  // With a body to follow and no hurry, the header leaves together with its first piece.
  if (sendNow || contentToWrite_ <= 0) TrySend();
}

void ResponseWriter::CountBody(int64_t size) {
  if (!headerWritten_) {
    throw EConnection("Trying to send Data without Header. Call WriteHeader before Write.");
  }
  if (contentToWrite_ >= 0) {
    if (size > contentToWrite_) {
      throw EConnection("Trying to send more Data out than specified in Header.");
    }
    contentToWrite_ -= size;
  }
  response_.done = contentToWrite_ == 0;
  response_.contentOut += size;
  if (response_.done) connection_.ReleaseSessionLock();
}

void ResponseWriter::SendBody(std::string_view text) {
  if (text.empty()) return;
  CountBody(static_cast<int64_t>(text.size()));
  if (fileLeft_ > 0) SettleFile();
  out_.append(text);
  TrySend();
}

void ResponseWriter::WriteFile(const std::string& path, int64_t offset, int64_t length,
                               std::function<void(Connection&)> onReadError) {
  Connection& c = connection_;
  if (!c.Open() || length <= 0) return;
  if (!response_.headerSent && (!response_.HasContentLength() || outputBuffering_)) {
    // Collected output is text until the event ends; so are these bytes then.
    AnswerFile file;
    std::string bytes;
    const bool whole = file.Open(path) && file.ReadInto(offset, length, bytes);
    Write(bytes);
    if (!whole) c.RunEvent(onReadError);
    return;
  }
  if (response_.done) throw EConnection("Error! Answer allready sent for this request.");
  c.idle_.Apply(c.settings_.timeout.afterDataSend);
  if (!response_.headerSent) WriteHeaderNow(false);
  if (response_.HasContentLength() && length > response_.ContentLength() - response_.contentOut) {
    throw EConnection("Error! Sending more data out than specified in header.");
  }
  CountBody(length);
  if (fileLeft_ > 0) SettleFile();
  fileOffset_ = offset;
  fileLeft_ = length;
  onFileError_ = std::move(onReadError);
  // What was written before the piece leaves even when the file cannot be had.
  if (!file_.Open(path)) FileFailed();
  TrySend();
}

void ResponseWriter::UseFile(AnswerFile file) {
  if (fileLeft_ == 0) file_ = std::move(file);
}

void ResponseWriter::SettleFile() {
  const size_t before = out_.size();
  const bool whole = file_.ReadInto(fileOffset_, fileLeft_, out_);
  const auto read = static_cast<int64_t>(out_.size() - before);
  fileOffset_ += read;
  fileLeft_ -= read;
  if (whole) {
    onFileError_ = nullptr;
  } else {
    FileFailed();
  }
}

void ResponseWriter::FileFailed() {
  const int64_t unsent = fileLeft_;
  fileLeft_ = 0;
  // A file that failed once is opened afresh by whatever comes next.
  file_.Close();
  response_.contentOut -= unsent;
  if (contentToWrite_ >= 0) contentToWrite_ += unsent;
  response_.done = contentToWrite_ == 0;
  std::function<void(Connection&)> handler;
  handler.swap(onFileError_);
  connection_.RunEvent(handler);
}

void ResponseWriter::Flush() {
  if (!outputBuffering_) return;
  outputBuffering_ = false;
  if (response_.done) throw EConnection("Error! Answer allready sent for this request.");
  if (!response_.headerSent) {
    if (!response_.HasContentLength()) {
      response_.SetContentLength(static_cast<int64_t>(outputBuffer_.size()));
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
  if (outPos_ < out_.size() || fileLeft_ > 0) connection_.OutputWaiting(true);
  bool sentNow = false;
  while ((outPos_ < out_.size() || fileLeft_ > 0) && connection_.Open()) {
    Socket::Result sent;
    if (outPos_ < out_.size()) {
      const size_t tail = out_.size() - outPos_;
      const size_t chunk = std::min(tail, sendBlock_);
      // Text that ends where a file stretch begins is topped up from the file, and the two count
      // as one send: sends and their reports come out as if the bytes were all text.
      const bool topUp = chunk == tail && chunk < sendBlock_ && fileLeft_ > 0;
      sent = socket.Send(out_.data() + outPos_, chunk, topUp);
      if (sent.status == Socket::Status::kDone) {
        outPos_ += sent.bytes;
        if (outPos_ == out_.size()) {
          out_.clear();
          outPos_ = 0;
        }
        if (topUp && sent.bytes == chunk) {
          // Whatever keeps the file's bytes back now shows again at the next turn.
          const Socket::Result more =
              socket.SendFile(file_.Fd(), fileOffset_,
                              std::min(static_cast<size_t>(fileLeft_), sendBlock_ - chunk));
          if (more.status == Socket::Status::kDone) {
            fileOffset_ += static_cast<int64_t>(more.bytes);
            fileLeft_ -= static_cast<int64_t>(more.bytes);
            sent.bytes += more.bytes;
          }
        }
      }
    } else {
      sent = socket.SendFile(file_.Fd(), fileOffset_,
                             std::min(static_cast<size_t>(fileLeft_), sendBlock_));
      if (sent.status == Socket::Status::kDone) {
        fileOffset_ += static_cast<int64_t>(sent.bytes);
        fileLeft_ -= static_cast<int64_t>(sent.bytes);
      }
    }
    if (sent.status == Socket::Status::kWouldBlock) break;  // write readiness resumes
    if (sent.status == Socket::Status::kFileFailed) {
      FileFailed();
      continue;
    }
    if (sent.status != Socket::Status::kDone) {
      sendFailed_ = true;
      break;
    }
    sentNow = sentSomething_ = true;
    Delivered(sent.bytes);
    connection_.OnSent(sent.bytes);
  }
  connection_.OutputWaiting(!sendFailed_ && (outPos_ < out_.size() || fileLeft_ > 0));
  if (outPos_ > 0 && outPos_ >= out_.size() / 2) {
    out_.erase(0, outPos_);
    outPos_ = 0;
  }
  if (sentNow && out_.empty() && fileLeft_ == 0 && !sendFailed_ && !dataSentQueued_) {
    dataSentQueued_ = true;
    connection_.AllOutputSent();
  }
}

void ResponseWriter::Delivered(size_t n) {
  if (!response_.headerSent || bytesToDeliver_ < 0) return;
  bytesToDeliver_ -= static_cast<int64_t>(n);
  response_.sent = bytesToDeliver_ <= 0;
  if (response_.sent) {
    request_.started = false;
    request_.active = false;
    response_.sending = false;
    response_.headerSent = false;
    headerWritten_ = false;
    file_.Close();  // the answer has left; the next one opens its own
  }
}

}  // namespace vidoria

namespace vidoria {

void ResponseWriter::ReleaseBuffers() {
  // An idle keep-alive connection should cost next to nothing: a piece-sized buffer kept from
  // the last answer would be most of it.
  if (out_.empty()) {
    std::string().swap(out_);
    outPos_ = 0;
  }
  if (outputBuffer_.empty()) std::string().swap(outputBuffer_);
}

void ResponseWriter::DropOutput() {
  fileLeft_ = 0;
  file_.Close();
  onFileError_ = nullptr;
  std::string().swap(out_);
  outPos_ = 0;
  std::string().swap(outputBuffer_);
}

}  // namespace vidoria
