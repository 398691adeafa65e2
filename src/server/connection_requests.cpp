// The requests of a connection: data in and out, dispatch to providers, sessions.
#include "server/connection.h"
#include "server/event_depth.h"
#include "server/http_server.h"
#include "server/session_store.h"

namespace vidoria {

std::string Connection::Read() {
  if (!Open() || !exchange_) return {};
  std::string content = exchange_->reader.TakeContent();
  if (!content.empty()) idle_.Apply(settings_.timeout.afterDataReceived);
  return content;
}

void Connection::RunEventAndFlush(const ConnectionHandler& handler) {
  RunEvent(handler);
  GetExchange().writer.Flush();
}

void Connection::OnReceived(size_t n) {
  idle_.Apply(settings_.timeout.afterDataIn);
  dataIn_ = static_cast<uint32_t>(n);
  totalIn_ += static_cast<int64_t>(n);
  if (Request().accepted && active_) RunEvent(active_->onDataIn);
  RunEvent(settings_.events.onDataIn);
}

void Connection::OnSent(size_t n) {
  idle_.Apply(settings_.timeout.afterDataOut);
  dataOut_ = static_cast<uint32_t>(n);
  totalOut_ += static_cast<int64_t>(n);
  if (Request().accepted && active_) RunEvent(active_->onDataOut);
  RunEvent(settings_.events.onDataOut);
  GetExchange().writer.Flush();
}

void Connection::DataReceivedStep() {
  EventDepth depth(eventDepth_);
  if (Request().accepted && active_) {
    RunEventAndFlush(active_->onDataReceived);
    return;
  }
  if (!Request().accepted) {
    active_ = nullptr;
    ReleaseSessionLock();
    dispatch::CheckPass(server_.Components(), *this);
    if (!Request().active) {
      GetExchange().writer.Flush();
      return;
    }
  }
  if (Request().accepted && active_) {
    if (!Response().done) RunEvent(active_->onDataReceived);
    GetExchange().writer.Flush();
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
  if (Request().accepted) return;
  Request().accepted = true;
  dispatch::LinkChain(active_, &DataServerLink::onRequestAccepted, *this);
  RunEvent(settings_.events.onRequestAccepted);
  GetExchange().writer.Flush();
}

void Connection::DataSentStep() {
  if (!Open()) return;
  if (GetExchange().writer.SentSomething()) idle_.Apply(settings_.timeout.afterDataSent);
  RunEventAndFlush(active_ ? active_->onDataSent : settings_.events.onDataSent);
  const bool sent = Response().sent;
  if (sent) {
    dispatch::LinkChain(active_, &DataServerLink::onResponseDone, *this);
    RunEvent(settings_.events.onResponseDone);
    Request().accepted = false;
    Request().active = false;
    active_ = nullptr;
    ReleaseSessionLock();
    if (Request().close) Disconnect();
  }
  if (Open()) {
    RunEventAndFlush(active_ ? active_->onReadyToSend : settings_.events.onReadyToSend);
    if (Response().sent && Request().close) Disconnect();
  }
  if (sent) {
    Request().Clear();
    Response().Clear();
    GetExchange().writer.ReleaseBuffers();
    GetExchange().reader.RequestDone();
    if (GetExchange().reader.DataPending()) PostRead();
  }
}

ServerSession* Connection::OpenSession(uint8_t lockMode) {
  ReleaseSessionLock();
  session = server_.sessions->Open(lockMode, peerAddr_, Request().ForwardedFor());
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
