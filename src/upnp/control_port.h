// The port of the media server's descriptions, SOAP control and events: the web server's port + 1
// where that port is free, so that a firewall can be opened for two fixed ports; any free port
// (0: chosen when the stack listens) where it is taken. Any thread.
#pragma once

namespace vidoria {

// webPort + 1 when nothing listens there on any address, else 0.
int ControlPortFor(int webPort);

}  // namespace vidoria
