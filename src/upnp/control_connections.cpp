#include "upnp/control_connections.h"

namespace vidoria {

namespace {

// How long a connection may wait for its request (or for the client to take the answer); a TV
// sends its request at once, so only a stalled or idle client meets it.
constexpr guint kIdleSeconds = 15;

// Before the request is read: whatever answers it (a description, a SOAP action, a
// subscription, or libsoup's own error for a malformed request) carries the header. libsoup
// starts the first request as soon as it accepts a connection, so the time-out also ends a
// connection that never sends anything.
void OnRequestStarted(SoupServer*, SoupServerMessage* message, gpointer) {
  if (GSocket* socket = soup_server_message_get_socket(message)) {
    g_socket_set_timeout(socket, kIdleSeconds);
  }
  soup_message_headers_replace(soup_server_message_get_response_headers(message), "Connection",
                               "close");
}

}  // namespace

CloseAfterEachAnswer::CloseAfterEachAnswer(SoupServer* server) : server_(server) {
  if (server_) {
    handler_ = g_signal_connect(server_, "request-started", G_CALLBACK(OnRequestStarted), nullptr);
  }
}

CloseAfterEachAnswer::~CloseAfterEachAnswer() {
  if (server_ && handler_) g_signal_handler_disconnect(server_, handler_);
}

}  // namespace vidoria
