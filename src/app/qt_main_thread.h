// The core's hand-over to the main thread for the desktop program: work from a server thread runs
// in Qt's event loop, and the server thread waits for it there.
#pragma once

#include "server/main_thread.h"

namespace vidoria {

// Construct on the thread that runs the QApplication's event loop, after the QApplication
// exists; it must outlive every server that uses it (set it into ProcessCore().main before the
// engine exists, and clear it after ProcessCore().Shutdown()). RunAndWait from another thread
// blocks until the main thread's event loop (or a processEvents() pump) has run the work; an
// exception the work throws is thrown again in the waiting thread.
class QtMainThread final : public MainThread {
 public:
  bool IsMainThread() const override;
  void RunAndWait(const std::function<void()>& fn) override;
};

}  // namespace vidoria
