#include "app/traffic_meter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <thread>
#include <vector>

namespace vidoria {
namespace {

struct TextCase {
  uint64_t bytes;
  const char* text;
};

TEST(TrafficMeterTest, RateTextSwitchesToMegabitsAbove1000Kilobits) {
  const TextCase cases[] = {
      {0, "0 Kbit/sec"},         {124, "0 Kbit/sec"},          {125, "1 Kbit/sec"},
      {125000, "1000 Kbit/sec"}, {125124, "1000 Kbit/sec"},    {125125, "1 Mbit/sec"},
      {999999, "7 Mbit/sec"},    {250000000, "2000 Mbit/sec"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(TrafficMeter::RateText(c.bytes), c.text) << c.bytes;
  }
}

TEST(TrafficMeterTest, AmountTextUsesKiloMegaGigabitThresholds) {
  const TextCase cases[] = {
      {0, "0 Kbit"},
      {125000, "1000 Kbit"},
      {125125, "1 Mbit"},
      {125000000, "1000 Mbit"},
      {125000125, "1 Gbit"},
      {250000000000, "2000 Gbit"},
      // The largest count must not overflow on the way to kilobits.
      {std::numeric_limits<uint64_t>::max(), "147573952589 Gbit"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(TrafficMeter::AmountText(c.bytes), c.text) << c.bytes;
  }
}

TEST(TrafficMeterTest, ShowsBytesUntilFirstStartThenZeroTexts) {
  TrafficMeter meter;
  EXPECT_EQ(meter.CurrentText(), "0 B");
  EXPECT_EQ(meter.TotalText(), "0 B");
  EXPECT_EQ(meter.PeakText(), "0 B");
  meter.Start();
  EXPECT_EQ(meter.CurrentText(), "0 Kbit/sec");
  EXPECT_EQ(meter.TotalText(), "0 Kbit");
  EXPECT_EQ(meter.PeakText(), "0 Kbit/sec");
}

TEST(TrafficMeterTest, TickMovesCurrentIntoTotalAndPeak) {
  TrafficMeter meter;
  meter.Start();
  meter.AddSent(100000);
  meter.Tick(25125);  // counted by request threads, joins the same second
  EXPECT_EQ(meter.CurrentText(), "1 Mbit/sec");
  EXPECT_EQ(meter.Current(), 0u);
  EXPECT_EQ(meter.Total(), 125125u);
  EXPECT_EQ(meter.TotalText(), "1 Mbit");
  EXPECT_EQ(meter.PeakText(), "1 Mbit/sec");

  meter.Tick(1000);
  EXPECT_EQ(meter.CurrentText(), "8 Kbit/sec");
  EXPECT_EQ(meter.Total(), 126125u);
  EXPECT_EQ(meter.Peak(), 125125u);
}

TEST(TrafficMeterTest, PeakStaysAfterTrafficStopsAndCurrentDropsOneTickLater) {
  TrafficMeter meter;
  meter.Start();
  meter.Tick(999999);
  meter.Tick(125000);
  meter.Tick(0);
  EXPECT_EQ(meter.CurrentText(), "0 Kbit/sec");
  EXPECT_EQ(meter.PeakText(), "7 Mbit/sec");
  EXPECT_EQ(meter.TotalText(), "8 Mbit");  // 1124999 bytes
  meter.Tick(0);
  EXPECT_EQ(meter.PeakText(), "7 Mbit/sec");
}

TEST(TrafficMeterTest, TotalAddsUpOverManyTicks) {
  TrafficMeter meter;
  meter.Start();
  for (int second = 0; second < 1000; ++second) meter.Tick(125000);
  EXPECT_EQ(meter.TotalText(), "1000 Mbit");
  meter.Tick(125);
  EXPECT_EQ(meter.TotalText(), "1 Gbit");
}

TEST(TrafficMeterTest, StartAgainResetsAllThreeTexts) {
  TrafficMeter meter;
  meter.Start();
  meter.Tick(999999);
  meter.AddSent(5000);  // sent after the last tick, before the server stopped
  meter.Start();
  EXPECT_EQ(meter.CurrentText(), "0 Kbit/sec");
  EXPECT_EQ(meter.TotalText(), "0 Kbit");
  EXPECT_EQ(meter.PeakText(), "0 Kbit/sec");
  meter.Tick(0);
  EXPECT_EQ(meter.Total(), 0u);
  EXPECT_EQ(meter.Peak(), 0u);
}

}  // namespace
}  // namespace vidoria
