// How the description/SOAP/event port's connections end. gupnp serves that port with libsoup,
// which keeps a connection its client closed first open for ever (the socket stays in CLOSE-WAIT
// and holds a descriptor), so a TV that polls and closes, as most do, would fill the process's
// descriptor table in minutes. Every answer on the port therefore says "Connection: close" and
// the server closes the connection itself once the answer has left; a client that would reuse
// the connection is told so in the answer instead of meeting a reset. A connection that sends
// nothing, or too slowly, is closed after an idle time-out, so open connections stay bounded by
// how fast clients connect.
//
// Thread: the thread of the GLib main context the server runs on.
#pragma once

#include <libsoup/soup.h>

namespace vidoria {

// Makes every answer of `server` close its connection, until the returned guard goes. The guard
// must go before the server does.
class CloseAfterEachAnswer {
 public:
  explicit CloseAfterEachAnswer(SoupServer* server);
  CloseAfterEachAnswer(const CloseAfterEachAnswer&) = delete;
  CloseAfterEachAnswer& operator=(const CloseAfterEachAnswer&) = delete;
  ~CloseAfterEachAnswer();

 private:
  SoupServer* server_;  // not owned
  gulong handler_ = 0;
};

}  // namespace vidoria
