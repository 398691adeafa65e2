#include "server/idle_timer.h"

namespace vidoria {

void IdleTimer::Start(Timers::Callback onIdle) {
  onIdle_ = std::move(onIdle);
  id_ = timers_.Create();
}

void IdleTimer::Apply(int seconds) {
  if (!id_) return;
  if (seconds > 0 && seconds != interval_) {
    interval_ = seconds;
    timers_.Enable(id_, std::chrono::seconds(seconds), false, false, onIdle_);
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
