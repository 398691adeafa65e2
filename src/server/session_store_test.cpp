#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/session_store.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;

// A store on a hand-moved clock.
class SessionStoreTest : public ::testing::Test {
 protected:
  ServerSession::Time now_ = ServerSession::Time{} + 1000h;
  SessionStore store_{[this] { return now_; }};
  std::vector<std::string> closed_;
  SessionStore::CloseHandler onClose_ = [this](ServerSession& s) { closed_.push_back(s.id); };

  ServerSession* OpenLogin(int keepAlive = 240) {
    ServerSession* session = store_.Open(2, "192.0.2.7", "");
    session->SetBooleanField("login", true);
    session->keepAlive = keepAlive;
    return session;
  }
  bool Refresh(const std::string& id) {
    return store_.Refresh(id, [](const ServerSession& s) { return s.BooleanField("login"); });
  }
};

TEST_F(SessionStoreTest, IdentifiersAreUniqueLowerCaseHex) {
  std::set<std::string> ids;
  const std::regex form("[0-9a-f]{32}");
  for (int i = 0; i < 20000; ++i) {
    const std::string id = NewSessionId();
    ASSERT_TRUE(std::regex_match(id, form)) << id;
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 20000u);
}

TEST_F(SessionStoreTest, ReleasedSessionLivesForItsKeepAliveThenIsPurgedAtTheNextRelease) {
  ServerSession* first = OpenLogin();
  EXPECT_EQ(first->peerAddr, "192.0.2.7");
  EXPECT_EQ(first->lockMode, 2);
  const std::string id = first->id;
  store_.Release(first, onClose_);
  EXPECT_EQ(store_.InUse(), 0u);
  EXPECT_EQ(store_.Idle(), 1u);

  now_ += 239s;
  EXPECT_TRUE(Refresh(id)) << "refreshing restarts the 240 s";
  now_ += 239s;
  EXPECT_TRUE(Refresh(id));
  now_ += 241s;
  EXPECT_FALSE(Refresh(id)) << "idle past its lifetime";
  EXPECT_TRUE(closed_.empty()) << "expired sessions are freed only at a release";

  ServerSession* second = OpenLogin();
  store_.Release(second, onClose_);
  EXPECT_EQ(closed_, std::vector<std::string>{id});
  EXPECT_EQ(store_.Idle(), 1u);
}

TEST_F(SessionStoreTest, OnlyLiveSessionsThatPassTheTestOpenTheGate) {
  ServerSession* plain = store_.Open(2, "", "");
  const std::string plainId = plain->id;
  store_.Release(plain, onClose_);
  EXPECT_FALSE(Refresh(plainId)) << "a session without the login mark";
  EXPECT_FALSE(Refresh("0123456789abcdef0123456789abcdef"));
  EXPECT_FALSE(Refresh(""));
  ServerSession* inUse = OpenLogin();
  EXPECT_TRUE(Refresh(inUse->id));
}

TEST_F(SessionStoreTest, DefaultAndFinalExpiry) {
  ServerSession* defaults = OpenLogin(0);
  const std::string defaultId = defaults->id;
  store_.Release(defaults, onClose_);
  now_ += 59s;
  EXPECT_TRUE(Refresh(defaultId));
  now_ += 61s;
  EXPECT_FALSE(Refresh(defaultId));

  ServerSession* capped = OpenLogin();
  capped->finalExpiry = now_ + 10s;
  const std::string cappedId = capped->id;
  store_.Release(capped, onClose_);
  now_ += 11s;
  EXPECT_FALSE(Refresh(cappedId));
}

}  // namespace
}  // namespace vidoria
