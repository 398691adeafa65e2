// Counts how deeply handlers are nested inside an object's events.
#pragma once

namespace vidoria {

// Raises `depth` for its lifetime, also when the handler it guards throws. Objects use the depth
// to defer requests made from inside their own events until the event has returned.
class EventDepth {
 public:
  explicit EventDepth(int& depth) : depth_(depth) { ++depth_; }
  EventDepth(const EventDepth&) = delete;
  EventDepth& operator=(const EventDepth&) = delete;
  ~EventDepth() { --depth_; }

 private:
  int& depth_;
};

}  // namespace vidoria
