#include "server/idle_timer.h"

namespace vidoria {

void IdleTimer::Start(std::weak_ptr<JobQueue> queue) {
  queue_ = std::move(queue);
  id_ = timers_.Create();
}

void IdleTimer::Apply(int seconds) {
  if (!id_) return;
  if (seconds > 0 && seconds != interval_) {
    interval_ = seconds;
    timers_.EnableJob(id_, std::chrono::seconds(seconds), false, false, makeJob_, queue_);
  } else if (seconds == 0 || seconds == interval_) {
    timers_.Reset(id_);
  } else {
    timers_.Disable(id_);
  }
}

void IdleTimer::Stop() {
  if (id_) timers_.Stop(id_);
  id_ = 0;
}

}  // namespace vidoria
