#include "server/http_values.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace vidoria {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Every name with its last value, in list order.
Pairs Listed(const HttpValues& values) {
  Pairs pairs;
  for (size_t i = 0; i < values.Count(); ++i) pairs.emplace_back(values.Name(i), values.ValueAt(i));
  return pairs;
}

struct ParseCase {
  const char* raw;
  const char* delimiter;  // what Delimiter() reports afterwards
  Pairs pairs;
};

TEST(HttpValuesTest, ParsesRawText) {
  const ParseCase cases[] = {
      // Values stay as sent: no '+' to space, no %-decoding.
      {"user=a+b&pass=x%40y", "&", {{"user", "a+b"}, {"pass", "x%40y"}}},
      {"a=1;b=2", ";", {{"a", "1"}, {"b", "2"}}},
      // The delimiter that occurs first wins; the other one is plain text.
      {"a=1&b=2;c=3", "&", {{"a", "1"}, {"b", "2;c=3"}}},
      {"a=1;b=2&c=3", ";", {{"a", "1"}, {"b", "2&c=3"}}},
      {"&&a=1&&b=2&", "&", {{"a", "1"}, {"b", "2"}}},
      {"flag&a=1", "&", {{"a", "1"}}},
      {"a=1=2", "&", {{"a", "1=2"}}},
      {"a=", "&", {{"a", ""}}},
      {"plain words", "&", {}},
      {"", "&", {}},
      // Names are trimmed of blanks, values are not.
      {" \tname =  v ", "&", {{"name", "  v "}}},
      // Bytes of UTF-8 are above 127, not blanks to trim.
      {"\xC3\xA9\xC3\xA9=\xC3\xA9", "&", {{"\xC3\xA9\xC3\xA9", "\xC3\xA9"}}},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.raw);
    HttpValues values;
    values.AddText(c.raw);
    EXPECT_EQ(Listed(values), c.pairs);
    EXPECT_EQ(values.Delimiter(), c.delimiter);
    EXPECT_EQ(values.Text(), c.raw);
  }
}

TEST(HttpValuesTest, RepeatedNameCollectsValuesAndReadsTheLast) {
  HttpValues values;
  values.AddText("a=1&b=x&A=2");
  ASSERT_EQ(values.Count(), 2u);
  EXPECT_EQ(values.Value("a"), "2");
  EXPECT_EQ(values.Name(0), "a");

  values.SetValue("a", "");  // removes only the last value
  EXPECT_EQ(values.Value("a"), "1");
  EXPECT_EQ(values.Text(), "a=1&b=x");
  values.SetValue("A", "");
  EXPECT_EQ(values.Value("a"), "");
  EXPECT_EQ(values.Text(), "b=x");
  EXPECT_EQ(values.Count(), 1u);
}

TEST(HttpValuesTest, ChangedListIsWrittenBackOncePerValue) {
  HttpValues values;
  values.AddText(" a=1&&a=2&junk&B=3");
  values.SetValue("b", "4");  // matched case-insensitively, spelling of first use kept
  EXPECT_EQ(values.Text(), "a=1&a=2&B=4");
}

TEST(HttpValuesTest, WrittenBackTextUsesTheDelimiterFoundInTheText) {
  HttpValues values;
  values.AddText("a=1;b=2");
  values.SetValue("c", "3");
  EXPECT_EQ(values.Text(), "a=1;b=2;c=3");
}

TEST(HttpValuesTest, SettingEmptyValueOfAbsentNameChangesNothing) {
  HttpValues values;
  values.AddText("a=1&&junk");
  values.SetValue("zz", "");
  EXPECT_EQ(values.Text(), "a=1&&junk");
}

TEST(HttpValuesTest, PairSplitAcrossTwoAddTextsComesOutWhole) {
  HttpValues values;
  values.AddText("a=1&b");
  EXPECT_EQ(values.Value("a"), "1");  // parsed between the two pieces
  values.AddText("=2");
  EXPECT_EQ(Listed(values), (Pairs{{"a", "1"}, {"b", "2"}}));
}

TEST(HttpValuesTest, AddTextAfterChangeExtendsTheChangedList) {
  HttpValues values;
  values.SetText("a=1&b=2");
  values.SetValue("a", "9");
  values.AddText("&c=3");
  EXPECT_EQ(values.Text(), "a=9&b=2&c=3");
  EXPECT_EQ(Listed(values), (Pairs{{"a", "9"}, {"b", "2"}, {"c", "3"}}));
}

TEST(HttpValuesTest, SetTextForgetsTheDelimiterFoundBefore) {
  HttpValues values;
  values.SetText("a=1;b=2");
  ASSERT_EQ(values.Delimiter(), ";");
  values.SetText("x=1&y=2;z");
  EXPECT_EQ(values.Delimiter(), "&");
  EXPECT_EQ(values.Value("y"), "2;z");
}

TEST(HttpValuesTest, GivenDelimiterOverridesTheTextAndSurvivesClear) {
  HttpValues values;
  values.SetDelimiter(";");
  values.SetText("a=1&b=2;c=3");
  EXPECT_EQ(Listed(values), (Pairs{{"a", "1&b=2"}, {"c", "3"}}));
  values.Clear();
  values.AddText("x=1&y=2");
  EXPECT_EQ(values.Delimiter(), ";");
  EXPECT_EQ(values.Value("x"), "1&y=2");
}

TEST(HttpValuesTest, MultipartBodyIsKeptButNotParsed) {
  HttpValues values;
  values.SetDelimiter("----b0undary");
  values.AddText("a=1&b=2");
  EXPECT_EQ(values.Count(), 0u);
  EXPECT_EQ(values.Value("a"), "");
  EXPECT_EQ(values.Text(), "a=1&b=2");
}

TEST(HttpValuesTest, PercentDecode) {
  const std::pair<const char*, std::string> cases[] = {
      {"x%40y", "x@y"},
      {"%2F%2f", "//"},
      {"%C3%A9", "\xC3\xA9"},
      {"a+b", "a+b"},
      {"%00", std::string(1, '\0')},
      // Anything that is not '%' and two hex digits stays as written.
      {"100%", "100%"},
      {"%4", "%4"},
      {"%zz%4g", "%zz%4g"},
      {"%%41", "%A"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(PercentDecode(in), out) << in;
}

TEST(HttpValuesTest, PercentDecodeAllDecodesNamesAndValuesAndMergesNames) {
  HttpValues values;
  values.AddText("a%20b=c%26d&ab=1&a%62=2&x=%41");
  values.PercentDecodeAll();
  EXPECT_EQ(Listed(values), (Pairs{{"a b", "c&d"}, {"ab", "2"}, {"x", "A"}}));
  EXPECT_EQ(values.Text(), "a b=c&d&ab=1&ab=2&x=A");
}

}  // namespace
}  // namespace vidoria
