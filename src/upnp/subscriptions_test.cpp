#include "upnp/subscriptions.h"

#include <gtest/gtest.h>

namespace vidoria {
namespace {

using std::chrono::seconds;

TEST(EventHeaders, CallbackAndTimeoutReadAsSubscribersSendThem) {
  EXPECT_EQ(ReadCallbackHeader("<http://10.0.0.5:49152/evt/1>"), "http://10.0.0.5:49152/evt/1");
  EXPECT_EQ(ReadCallbackHeader("<mailto:x><HTTP://10.0.0.5/a><http://10.0.0.6/b>"),
            "HTTP://10.0.0.5/a");
  for (const char* bad : {"", "http://10.0.0.5/", "<>", "<ftp://10.0.0.5/>", "<http://"}) {
    EXPECT_FALSE(ReadCallbackHeader(bad)) << bad;
  }
  EXPECT_EQ(ReadTimeoutHeader("Second-300"), 300);
  EXPECT_EQ(ReadTimeoutHeader("second-1800 "), 1800);
  EXPECT_EQ(ReadTimeoutHeader("infinite"), Subscriptions::kMaxSeconds);
  EXPECT_EQ(ReadTimeoutHeader("Second-infinite"), Subscriptions::kMaxSeconds);
  for (const char* bad : {"", "300", "Second-", "Second--5", "Second-0", "Second-12x"}) {
    EXPECT_FALSE(ReadTimeoutHeader(bad)) << bad;
  }
}

TEST(Subscriptions, LiveUntilTheyExpireAndCountTheirEvents) {
  Subscriptions subscriptions;
  const auto start = Subscriptions::Clock::now();
  const auto tv = subscriptions.Add("ContentDirectory", "http://10.0.0.5/a", 300, start);
  const auto phone = subscriptions.Add("ContentDirectory", "http://10.0.0.6/b", 99999, start);
  const auto other = subscriptions.Add("ConnectionManager", "http://10.0.0.5/c", {}, start);
  ASSERT_TRUE(tv && phone && other);
  EXPECT_EQ(tv->seconds, 300);
  EXPECT_EQ(phone->seconds, Subscriptions::kMaxSeconds) << "capped";
  EXPECT_EQ(other->seconds, Subscriptions::kMaxSeconds) << "the default";
  EXPECT_NE(tv->sid, phone->sid);
  EXPECT_TRUE(tv->sid.starts_with("uuid:"));

  // Each event takes the next sequence number of each subscriber of that service only.
  for (uint32_t seq : {1u, 2u}) {
    const auto notices = subscriptions.Take("ContentDirectory", start + seconds(1));
    ASSERT_EQ(notices.size(), 2u);
    for (const auto& notice : notices) EXPECT_EQ(notice.seq, seq);
  }
  EXPECT_FALSE(subscriptions.Remove("ContentDirectory", other->sid)) << "other service";
  EXPECT_TRUE(subscriptions.Remove("ConnectionManager", other->sid));
  EXPECT_FALSE(subscriptions.Remove("ConnectionManager", other->sid));

  // A renewal keeps it; the one not renewed is gone after its time, and cannot be renewed then.
  EXPECT_TRUE(subscriptions.Renew("ContentDirectory", tv->sid, 300, start + seconds(299)));
  EXPECT_FALSE(subscriptions.Renew("ConnectionManager", tv->sid, 300, start)) << "other service";
  const auto later = subscriptions.Take("ContentDirectory", start + seconds(400));
  ASSERT_EQ(later.size(), 2u);
  EXPECT_EQ(subscriptions.Take("ContentDirectory", start + seconds(600)).size(), 1u);
  EXPECT_EQ(subscriptions.Take("ContentDirectory", start + seconds(1800)).size(), 0u);
  EXPECT_FALSE(subscriptions.Renew("ContentDirectory", tv->sid, 300, start + seconds(1800)));
}

TEST(Subscriptions, AFloodIsHeldAtTheCap) {
  Subscriptions subscriptions;
  const auto now = Subscriptions::Clock::now();
  for (size_t i = 0; i < Subscriptions::kMaxSubscriptions; ++i) {
    ASSERT_TRUE(subscriptions.Add("ContentDirectory", "http://10.0.0.5/", 60, now));
  }
  EXPECT_FALSE(subscriptions.Add("ContentDirectory", "http://10.0.0.5/", 60, now));
  // Room again once they expire.
  EXPECT_TRUE(subscriptions.Add("ContentDirectory", "http://10.0.0.5/", 60, now + seconds(61)));
  EXPECT_EQ(subscriptions.Count(now + seconds(61)), 1u);
}

TEST(PropertySetBody, NamesEachVariableEscaped) {
  EXPECT_EQ(PropertySet({{"SystemUpdateID", "7"}, {"SinkProtocolInfo", "a&b"}}),
            "<?xml version=\"1.0\"?>\n<e:propertyset xmlns:e=\"urn:schemas-upnp-org:event-1-0\">"
            "<e:property><SystemUpdateID>7</SystemUpdateID></e:property>"
            "<e:property><SinkProtocolInfo>a&amp;b</SinkProtocolInfo></e:property>"
            "</e:propertyset>\n");
}

}  // namespace
}  // namespace vidoria
