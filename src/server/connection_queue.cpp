#include "server/connection_queue.h"

#include <sys/epoll.h>

#include "server/exceptions.h"
#include "server/http_server.h"

namespace vidoria {

namespace {

class MessageJob final : public Job {
 public:
  explicit MessageJob(ConnectionMessage message) : message_(message) {}
  // Only a connection queue understands socket messages.
  void Run(JobQueue&) override { throw EJobError("Error!! Unknown Job class: MessageJob"); }
  ConnectionMessage Message() const { return message_; }

 private:
  ConnectionMessage message_;
};

}  // namespace

ConnectionQueue::ConnectionQueue(HttpServer& server, std::unique_ptr<Socket> socket,
                                 std::shared_ptr<const ConnectionSettings> settings, Timers* timers)
    : connection_(server, *this, std::move(socket), std::move(settings),
                  timers ? *timers : server.Core().notifier.GetTimers()) {}

std::unique_ptr<Job> ConnectionQueue::MakeMessageJob(ConnectionMessage message) {
  return std::make_unique<MessageJob>(message);
}

bool ConnectionQueue::Work(Job& job) {
  try {
    if (auto* message = dynamic_cast<MessageJob*>(&job)) {
      if (connection_.Handle(message->Message())) return true;
      connection_.RearmSocket();
      return false;
    }
    return JobQueue::Work(job);
  } catch (...) {
    // An exception that escapes an event closes the connection, silently, with its events.
    try {
      connection_.CloseStep();
    } catch (...) {
    }
    return true;
  }
}

void ConnectionQueue::PostMessage(ConnectionMessage message, bool atHead) {
  Post(MakeMessageJob(message), false, atHead);
}

void ConnectionQueue::RunOrPostMessage(ConnectionMessage message, bool atHead) {
  RunOrPost(MakeMessageJob(message), atHead);
}

void ConnectionQueue::Notify(uint32_t events) {
  if (events & (EPOLLHUP | EPOLLERR)) {
    RunOrPostMessage(ConnectionMessage::kClose, /*atHead=*/true);
    return;
  }
  if (events & EPOLLRDHUP) peerEnded_ = true;
  if ((events & (EPOLLIN | EPOLLRDHUP)) && !readQueued_.exchange(true)) {
    RunOrPostMessage(ConnectionMessage::kRead, false);
  }
  if ((events & EPOLLOUT) && writeWanted_.load() && !writeQueued_.exchange(true)) {
    RunOrPostMessage(ConnectionMessage::kWrite, false);
  }
}

void ConnectionQueue::PostInit() {
  RunOrPostMessage(ConnectionMessage::kInit, false);
}

void ConnectionQueue::PostStop() {
  PostMessage(ConnectionMessage::kStop, true);
}

}  // namespace vidoria
