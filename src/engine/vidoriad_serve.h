// vidoriad without a command: the server. Claims the data folder, listens on the stored port,
// rescans as the stored settings say (with the rescan switch on, also right at start), and saves
// and exits on SIGTERM or SIGINT. Returns the exit code.
//
// Main thread, once per process, after SetUpProcess and before any other thread starts.
#pragma once

namespace vidoria {

int Serve();

}  // namespace vidoria
