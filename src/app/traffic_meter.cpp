#include "app/traffic_meter.h"

namespace vidoria {

namespace {

// bytes * 8 / 1000 without the overflow of the product: 8/1000 is exactly 1/125, and both
// truncate to the same whole number.
uint64_t Kilobits(uint64_t bytes) {
  return bytes / 125;
}

}  // namespace

void TrafficMeter::Start() {
  current_ = total_ = peak_ = 0;
  currentText_ = RateText(0);
  totalText_ = AmountText(0);
  peakText_ = RateText(0);
}

void TrafficMeter::Tick(uint64_t sentElsewhere) {
  current_ += sentElsewhere;
  total_ += current_;
  if (current_ > peak_) peak_ = current_;
  currentText_ = RateText(current_);
  current_ = 0;
  totalText_ = AmountText(total_);
  peakText_ = RateText(peak_);
}

std::string TrafficMeter::RateText(uint64_t bytesPerSecond) {
  const uint64_t k = Kilobits(bytesPerSecond);
  if (k <= 1000) return std::to_string(k) + " Kbit/sec";
  return std::to_string(k / 1000) + " Mbit/sec";
}

std::string TrafficMeter::AmountText(uint64_t bytes) {
  const uint64_t k = Kilobits(bytes);
  if (k > 1000000) return std::to_string(k / 1000000) + " Gbit";
  if (k <= 1000) return std::to_string(k) + " Kbit";
  return std::to_string(k / 1000) + " Mbit";
}

}  // namespace vidoria
