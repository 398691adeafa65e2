#include "server/job_queue.h"

namespace vidoria {

JobQueue::~JobQueue() = default;

bool JobQueue::Work(Job& job) {
  job.Run(*this);
  return false;
}

}  // namespace vidoria
