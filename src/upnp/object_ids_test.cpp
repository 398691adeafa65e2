#include "upnp/object_ids.h"

#include <gtest/gtest.h>

#include "upnp/update_counter.h"

namespace vidoria {
namespace {

TEST(ObjectIdsTest, KeysAreStableHashesAndRepeatsGetTheirOwn) {
  // Fixed across runs and builds: a TV keeps ids from one start of the program to the next.
  EXPECT_EQ(HashKey(""), "cbf29ce484222325");
  EXPECT_EQ(HashKey("/v/a.mp4"), HashKey("/v/a.mp4"));
  EXPECT_NE(HashKey("/v/a.mp4"), HashKey("/v/b.mp4"));
  UniqueKeys keys;
  const std::string a = HashKey("/v/a.mp4");
  EXPECT_EQ(keys.Next("/v/a.mp4"), a);
  EXPECT_EQ(keys.Next("/v/b.mp4"), HashKey("/v/b.mp4"));
  EXPECT_EQ(keys.Next("/v/a.mp4"), a + "-2");
  EXPECT_EQ(keys.Next("/v/a.mp4"), a + "-3");
}

TEST(UpdateCounterTest, MovesOnlyWhenTheFingerprintChanges) {
  UpdateCounter counter;
  EXPECT_FALSE(counter.Observe(42));
  const uint32_t first = counter.Value();
  EXPECT_NE(first, 0u);
  EXPECT_FALSE(counter.Observe(42));
  EXPECT_EQ(counter.Value(), first);
  EXPECT_TRUE(counter.Observe(43));
  EXPECT_EQ(counter.Value(), first + 1);
  // Back to an earlier tree is still a change for a TV that saw the one between.
  EXPECT_TRUE(counter.Observe(42));
  EXPECT_EQ(counter.Value(), first + 2);
  // A restart over the same tree answers the same id.
  UpdateCounter restarted;
  restarted.Observe(42);
  EXPECT_EQ(restarted.Value(), first);
}

}  // namespace
}  // namespace vidoria
