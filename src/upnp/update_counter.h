// The system update id a TV compares to know whether to read its views again: it moves only
// when what the TV is shown changed (the tree's fingerprint), not at every regeneration of the
// site, so a periodic rescan that found nothing new makes no TV reload. It starts from the first
// fingerprint, so a restart over the same library answers the same id.
//
// Not thread-safe; its owner keeps it under the lock that guards the tree.
#pragma once

#include <cstdint>
#include <optional>

namespace vidoria {

class UpdateCounter {
 public:
  // Takes the fingerprint of the tree now shown; true when it differs from the last one.
  bool Observe(uint64_t fingerprint) {
    if (!last_) {
      last_ = fingerprint;
      value_ = static_cast<uint32_t>(fingerprint % 1000000000u) + 1;
      return false;
    }
    if (*last_ == fingerprint) return false;
    last_ = fingerprint;
    ++value_;
    return true;
  }
  uint32_t Value() const { return value_; }

 private:
  std::optional<uint64_t> last_;
  uint32_t value_ = 0;
};

}  // namespace vidoria
