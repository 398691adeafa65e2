// The requests of a connection: data in and out, dispatch to providers, sessions.
#include "server/connection.h"
#include "server/event_depth.h"
#include "server/http_server.h"
#include "server/session_store.h"

namespace vidoria {

std::string Connection::Read() {
  if (!Open()) return {};
  std::string content = reader_.TakeContent();
  if (!content.empty()) idle_.Apply(settings_.timeout.afterDataReceived);
  return content;
}

void Connection::RunEventAndFlush(const ConnectionHandler& handler) {
  RunEvent(handler);
  writer_.Flush();
}

void Connection::OnReceived(size_t n) {
  idle_.Apply(settings_.timeout.afterDataIn);
  dataIn_ = static_cast<uint32_t>(n);
  totalIn_ += static_cast<int64_t>(n);
  if (request.accepted && active_) RunEvent(active_->onDataIn);
  RunEvent(settings_.events.onDataIn);
}

void Connection::OnSent(size_t n) {
  idle_.Apply(settings_.timeout.afterDataOut);
  dataOut_ = static_cast<uint32_t>(n);
  totalOut_ += static_cast<int64_t>(n);
  if (request.accepted && active_) RunEvent(active_->onDataOut);
  RunEvent(settings_.events.onDataOut);
  writer_.Flush();
}

void Connection::DataReceivedStep() {
  EventDepth depth(eventDepth_);
  if (request.accepted && active_) {
    RunEventAndFlush(active_->onDataReceived);
    return;
  }
  if (!request.accepted) {
    active_ = nullptr;
    ReleaseSessionLock();
    dispatch::CheckPass(server_.Components(), *this);
    if (!request.active) {
      writer_.Flush();
      return;
    }
  }
  if (request.accepted && active_) {
    if (!response.done) RunEvent(active_->onDataReceived);
    writer_.Flush();
    return;
  }
  ReleaseSessionLock();
  active_ = nullptr;
  if (settings_.events.onRequestNotAccepted) {
    RunEventAndFlush(settings_.events.onRequestNotAccepted);
  } else {
    Disconnect();
  }
}

void Connection::InvalidRequestStep() {
  RunEventAndFlush(settings_.events.onInvalidRequest);
}

void Connection::Accept() {
  if (request.accepted) return;
  request.accepted = true;
  dispatch::LinkChain(active_, &DataServerLink::onRequestAccepted, *this);
  RunEvent(settings_.events.onRequestAccepted);
  writer_.Flush();
}

void Connection::DataSentStep() {
  if (!Open()) return;
  if (writer_.SentSomething()) idle_.Apply(settings_.timeout.afterDataSent);
  RunEventAndFlush(active_ ? active_->onDataSent : settings_.events.onDataSent);
  const bool sent = response.sent;
  if (sent) {
    dispatch::LinkChain(active_, &DataServerLink::onResponseDone, *this);
    RunEvent(settings_.events.onResponseDone);
    request.accepted = false;
    request.active = false;
    active_ = nullptr;
    ReleaseSessionLock();
    if (request.close) Disconnect();
  }
  if (Open()) {
    RunEventAndFlush(active_ ? active_->onReadyToSend : settings_.events.onReadyToSend);
    if (response.sent && request.close) Disconnect();
  }
  if (sent) {
    request.Clear();
    response.Clear();
    writer_.ReleaseBuffers();
    reader_.RequestDone();
    if (reader_.DataPending()) PostRead();
  }
}

ServerSession* Connection::OpenSession(uint8_t lockMode) {
  ReleaseSessionLock();
  session = server_.sessions->Open(lockMode, peerAddr_, request.ForwardedFor());
  RunEvent(settings_.events.onSessionOpen);
  dispatch::SessionOpen(server_.Components(), *this);
  return session;
}

void Connection::ReleaseSessionLock() {
  if (session == nullptr) return;
  ServerSession* released = session;
  session = nullptr;
  server_.sessions->Release(released, [this](ServerSession& closing) {
    // The closing chain sees the closing session as the connection's own, for its duration.
    ServerSession* own = session;
    session = &closing;
    try {
      dispatch::SessionClose(server_.Components(), *this);
      RunEvent(settings_.events.onSessionClose);
    } catch (...) {
      session = own;
      throw;
    }
    session = own;
  });
}

}  // namespace vidoria
