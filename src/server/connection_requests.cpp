// The requests of a connection: data in and out, dispatch to providers, sessions.
#include "server/connection.h"
#include "server/event_depth.h"
#include "server/http_server.h"
#include "server/session_store.h"

namespace vidoria {

std::string Connection::Read() {
  if (!Open()) return {};
  std::string content = reader_.TakeContent();
  if (!content.empty()) idle_.Apply(settings_.Timeout.AfterDataReceived);
  return content;
}

void Connection::RunEventAndFlush(const ConnectionHandler& handler) {
  RunEvent(handler);
  writer_.Flush();
}

void Connection::OnReceived(size_t n) {
  idle_.Apply(settings_.Timeout.AfterDataIn);
  dataIn_ = static_cast<uint32_t>(n);
  totalIn_ += static_cast<int64_t>(n);
  if (Request.Accepted && active_) RunEvent(active_->OnDataIn);
  RunEvent(settings_.events.OnDataIn);
}

void Connection::OnSent(size_t n) {
  idle_.Apply(settings_.Timeout.AfterDataOut);
  dataOut_ = static_cast<uint32_t>(n);
  totalOut_ += static_cast<int64_t>(n);
  if (Request.Accepted && active_) RunEvent(active_->OnDataOut);
  RunEvent(settings_.events.OnDataOut);
  writer_.Flush();
}

void Connection::DataReceivedStep() {
  EventDepth depth(eventDepth_);
  if (Request.Accepted && active_) {
    RunEventAndFlush(active_->OnDataReceived);
    return;
  }
  if (!Request.Accepted) {
    active_ = nullptr;
    ReleaseSessionLock();
    dispatch::CheckPass(server_.Components(), *this);
    if (!Request.Active) {
      writer_.Flush();
      return;
    }
  }
  if (Request.Accepted && active_) {
    if (!Response.Done) RunEvent(active_->OnDataReceived);
    writer_.Flush();
    return;
  }
  ReleaseSessionLock();
  active_ = nullptr;
  if (settings_.events.OnRequestNotAccepted) {
    RunEventAndFlush(settings_.events.OnRequestNotAccepted);
  } else {
    Disconnect();
  }
}

void Connection::InvalidRequestStep() {
  RunEventAndFlush(settings_.events.OnInvalidRequest);
}

void Connection::Accept() {
  if (Request.Accepted) return;
  Request.Accepted = true;
  dispatch::LinkChain(active_, &DataServerLink::OnRequestAccepted, *this);
  RunEvent(settings_.events.OnRequestAccepted);
  writer_.Flush();
}

void Connection::DataSentStep() {
  if (!Open()) return;
  if (writer_.SentSomething()) idle_.Apply(settings_.Timeout.AfterDataSent);
  RunEventAndFlush(active_ ? active_->OnDataSent : settings_.events.OnDataSent);
  const bool sent = Response.Sent;
  if (sent) {
    dispatch::LinkChain(active_, &DataServerLink::OnResponseDone, *this);
    RunEvent(settings_.events.OnResponseDone);
    Request.Accepted = false;
    Request.Active = false;
    active_ = nullptr;
    ReleaseSessionLock();
    if (Request.Close) Disconnect();
  }
  if (Open()) {
    RunEventAndFlush(active_ ? active_->OnReadyToSend : settings_.events.OnReadyToSend);
    if (Response.Sent && Request.Close) Disconnect();
  }
  if (sent) {
    Request.Clear();
    Response.Clear();
    reader_.RequestDone();
    if (reader_.DataPending()) PostRead();
  }
}

ServerSession* Connection::OpenSession(uint8_t lockMode) {
  ReleaseSessionLock();
  Session = server_.Sessions->Open(lockMode, peerAddr_, Request.ForwardedFor());
  RunEvent(settings_.events.OnSessionOpen);
  dispatch::SessionOpen(server_.Components(), *this);
  return Session;
}

void Connection::ReleaseSessionLock() {
  if (Session == nullptr) return;
  ServerSession* released = Session;
  Session = nullptr;
  server_.Sessions->Release(released, [this](ServerSession& closing) {
    // The closing chain sees the closing session as the connection's own, for its duration.
    ServerSession* own = Session;
    Session = &closing;
    try {
      dispatch::SessionClose(server_.Components(), *this);
      RunEvent(settings_.events.OnSessionClose);
    } catch (...) {
      Session = own;
      throw;
    }
    Session = own;
  });
}

}  // namespace vidoria
