#include <string>

#include <gtest/gtest.h>

#include "library/cipher.h"

namespace vidoria {
namespace {

TEST(CipherTest, ShiftsEveryByteByThirteenWithTheProgramKey) {
  EXPECT_EQ(EncodeText(kCypherKey, "qorvu"), "~|\x7f\x83\x82");
  EXPECT_EQ(DecodeText(kCypherKey, "~|\x7f\x83\x82"), "qorvu");
  EXPECT_EQ(EncodeText(kCypherKey, ""), "");
  // Wraps around modulo 256 in both directions.
  EXPECT_EQ(EncodeText(kCypherKey, "\xf5\xff"), "\x02\x0c");
  EXPECT_EQ(DecodeText(kCypherKey, "\x02\x0c"), "\xf5\xff");
}

TEST(CipherTest, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string encoded = EncodeText(kCypherKey, all);
  EXPECT_EQ(encoded.size(), all.size());
  EXPECT_EQ(DecodeText(kCypherKey, encoded), all);
  EXPECT_EQ(DecodeText(kCypherKey, EncodeText(kCypherKey, "Grüße ünd 名前")), "Grüße ünd 名前");
}

TEST(CipherTest, ShiftIsTheKeyWhenItIsANumberFrom1To255) {
  const struct {
    const char* key;
    int shift;
  } cases[] = {
      {"580217396401", 13},  // beyond 32 bits
      {"2147483647", 13},   {"2147483648", 13}, {"1", 1},   {"255", 255}, {"+7", 7},
      {"256", 13},          {"0", 13},          {"-5", 13}, {"", 13},     {"12a", 13},
      {"+-3", 13},          {"0x10", 13},
  };
  for (const auto& c : cases) EXPECT_EQ(CipherShift(c.key), c.shift) << c.key;
  EXPECT_EQ(EncodeText("1", "a"), "b");
  EXPECT_EQ(DecodeText("255", "\xfe"), "\xff");
}

TEST(CipherTest, PasswordsThatWouldEncipherToALineBreakOrNulAreRefused) {
  // 243 + 13 wraps to NUL, 253 + 13 is LF, 0 + 13 is CR.
  using namespace std::string_literals;
  for (const std::string& bad : {"ab\xf3"s, "\xfd"s, "a\0b"s, "pass\xf3\xb0\x80\x80word"s}) {
    EXPECT_TRUE(PasswordProblem(bad).has_value()) << bad;
  }
  for (const char* good : {"qorvu", "", "Grüße", "名前", "\xf0\x9f\x98\x80", "\xf4\x8f\xbf\xbf"}) {
    EXPECT_EQ(PasswordProblem(good), std::nullopt) << good;
  }
}

}  // namespace
}  // namespace vidoria
