// The threads the server core runs on: the worker pool and the notifier.
#pragma once

#include <chrono>
#include <functional>

#include "server/main_thread.h"
#include "server/notifier.h"
#include "server/worker_pool.h"

namespace vidoria {

// Servers and their connections use one runtime; it must outlive them. Tests make their own;
// the programs use ProcessCore().
struct CoreRuntime {
  WorkerPool pool;
  Notifier notifier;
  // The program's main thread for Sync; nullptr runs synchronised handlers on the worker.
  MainThread* main = nullptr;

  // Stops the notifier (with its readiness threads) and then the pool, each waiting up to 10 s;
  // `pump` keeps the main thread serving hand-overs meanwhile.
  void Shutdown(const std::function<void()>& pump = {});
};

// The process-wide runtime, created at first use and never destroyed (worker threads may still
// be finishing while static objects are torn down); call Shutdown at program end.
CoreRuntime& ProcessCore();

// Raises this process's open-file limit to its hard limit, so that tens of thousands of
// connections can be open at once. Returns the limit now in force.
long RaiseOpenFileLimit();

}  // namespace vidoria
