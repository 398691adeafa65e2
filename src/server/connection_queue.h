// The serial job queue that owns and runs one connection.
#pragma once

#include <atomic>
#include <memory>

#include "server/connection.h"
#include "server/job_queue.h"

namespace vidoria {

// Created by the listener through the worker pool; freed once its connection closed. A readiness
// thread reports the socket's readiness (Notify) and runs the message itself when the queue is
// idle (JobQueue::RunOrPost), else queues it; the coalescing flags keep at most one read and one
// write message waiting at a time. The socket reports once per arm: every message job re-arms it
// at its end for what the connection then waits for (Connection::RearmSocket), so a report that
// queues nothing always finds a message waiting or running that will re-arm it.
class ConnectionQueue : public JobQueue {
 public:
  // `timers` run the idle timer; nullptr takes the server's notifier's.
  ConnectionQueue(HttpServer& server, std::unique_ptr<Socket> socket,
                  std::shared_ptr<const ConnectionSettings> settings, Timers* timers = nullptr);
  Connection& GetConnection() { return connection_; }

  // Readiness thread (or a test peer's): turns epoll event masks into messages.
  void Notify(uint32_t events);
  // Runs the init message at once on this thread when nothing else waits (the listener's job).
  void PostInit();
  void PostStop();

  // Queues one message for the connection (any thread). Tests replace the queueing to run the
  // messages themselves, on their own thread.
  virtual void PostMessage(ConnectionMessage message, bool atHead);
  // As PostMessage, but run at once on the calling thread when the queue is idle; for callers
  // outside the connection's jobs that hold no lock.
  virtual void RunOrPostMessage(ConnectionMessage message, bool atHead);
  // The job that carries `message`.
  static std::unique_ptr<Job> MakeMessageJob(ConnectionMessage message);

 protected:
  bool Work(Job& job) override;

 private:
  friend class Connection;
  Connection connection_;
  std::atomic<bool> readQueued_{false};
  std::atomic<bool> writeQueued_{false};
  // Write readiness can change something (the connection's jobs set it, readiness threads read
  // it): until the first readiness has established the connection, and while output waits for
  // the socket. It is raised before a send that may meet a full buffer, so the readiness that
  // follows is never missed; without it a write message would only find nothing to do.
  std::atomic<bool> writeWanted_{true};
  // The client has ended its side (readiness threads set, the connection's jobs read): with
  // edge-triggered readiness its end is reported once, together with its last bytes.
  std::atomic<bool> peerEnded_{false};
};

}  // namespace vidoria
