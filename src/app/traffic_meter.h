// The traffic meter of the Streaming view: bytes sent per second (current), since the last
// start of the server (total) and the largest one-second amount since then (peak), with the
// texts the view shows for them.
#pragma once

#include <cstdint>
#include <string>

namespace vidoria {

// Main thread only. Request threads do not touch the meter; the server counts what it sends, and
// the window reads that once per tick (Engine::TakeBytesSent) and passes it to Tick.
class TrafficMeter {
 public:
  // Zero counters; every text reads "0 B" until the first Start.
  TrafficMeter() = default;

  // Server started: counters to 0, texts "0 Kbit/sec", "0 Kbit", "0 Kbit/sec".
  void Start();
  // Bytes of one send, counted into the current second.
  void AddSent(uint64_t bytes) { current_ += bytes; }
  // The once-a-second step: `sentElsewhere` (bytes counted outside the meter since the last
  // tick) joins the current second; then total and peak take it in, the three texts are
  // rewritten and a new second begins.
  void Tick(uint64_t sentElsewhere = 0);

  uint64_t Current() const { return current_; }
  uint64_t Total() const { return total_; }
  uint64_t Peak() const { return peak_; }
  const std::string& CurrentText() const { return currentText_; }
  const std::string& TotalText() const { return totalText_; }
  const std::string& PeakText() const { return peakText_; }

  // Bytes in one second as "<k> Kbit/sec" up to 1000 kbit, else "<m> Mbit/sec"; whole units,
  // truncated (125000 -> "1000 Kbit/sec", 125125 -> "1 Mbit/sec").
  static std::string RateText(uint64_t bytesPerSecond);
  // An amount of bytes as "<k> Kbit" up to 1000 kbit, "<m> Mbit" up to 1000000 kbit, else
  // "<g> Gbit"; whole units, truncated.
  static std::string AmountText(uint64_t bytes);

 private:
  uint64_t current_ = 0;
  uint64_t total_ = 0;
  uint64_t peak_ = 0;
  std::string currentText_ = "0 B";
  std::string totalText_ = "0 B";
  std::string peakText_ = "0 B";
};

}  // namespace vidoria
