#include "site/names.h"

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "server/http_values.h"

namespace vidoria {
namespace {

// What the server does with a request path before it looks the name up: the fixed prefix and
// every slash dropped, then the rest percent-decoded.
std::string AsServerReads(std::string path, std::string_view prefix) {
  for (size_t at = path.find(prefix); !prefix.empty() && at != std::string::npos;
       at = path.find(prefix, at)) {
    path.erase(at, prefix.size());
  }
  std::string kept;
  for (char c : path) {
    if (c != '/' && c != '\\') kept += c;
  }
  return PercentDecode(kept);
}

TEST(NamesTest, HtmlTextEscapesMarkupCharacters) {
  const struct {
    std::string_view in, out;
  } cases[] = {
      {"Holiday", "Holiday"},
      {"Tom & Jerry", "Tom &amp; Jerry"},
      {"<b>bold</b>", "&lt;b&gt;bold&lt;/b&gt;"},
      {R"(say "hi" 'now')", "say &quot;hi&quot; &#39;now&#39;"},
      {"already &amp;", "already &amp;amp;"},
      {"two\r\nlines", "two&#13;&#10;lines"},
      {"Café #1 100%", "Café #1 100%"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(HtmlText(c.in), c.out) << c.in;
}

TEST(NamesTest, PathSegmentKeepsPlainNamesAndEncodesTheRest) {
  const struct {
    std::string_view in, out;
  } cases[] = {
      {"Holiday.mp4", "Holiday.mp4"},
      {"A-b_c~d.mp4", "A-b_c~d.mp4"},
      {"My Movie (2009).mp4", "My%20Movie%20(2009).mp4"},
      {"Tom & Jerry.mp4", "Tom%20%26%20Jerry.mp4"},
      {"<x>\"q\"'s'.mp4", "%3Cx%3E%22q%22%27s%27.mp4"},
      {"#1 100%?.mp4", "%231%20100%25%3F.mp4"},
      {"a/b\\c*d;e", "a%2Fb%5Cc%2Ad%3Be"},
      {"Café.mp4", "Caf%C3%A9.mp4"},
      {"日本", "%E6%97%A5%E6%9C%AC"},
      {"!$,+=:@", "!$,+=:@"},
      {"tab\there\x7f", "tab%09here%7F"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PathSegment(c.in), c.out) << c.in;
}

TEST(NamesTest, ListHrefGuardsNamesABrowserWouldReadAsCharacterReferences) {
  const struct {
    std::string_view in, out;
  } cases[] = {
      {"Favorites", "Favorites"},
      {"My Playlist", "My%20Playlist"},
      {"not", "%6Eot"},              // "&not" is read as a sign
      {"not seen", "%6Eot%20seen"},  // also before a '%'
      {"lt", "%6Ct"},                // before the closing quote
      {"copy.2", "%63opy.2"},        // before a punctuation mark
      {"COPY", "%43OPY"},            // the upper-case forms exist as well
      {"amp", "%61mp"},
      {"notes", "notes"},      // a letter follows: left alone
      {"copy=1", "copy=1"},    // so does '='
      {"frac12x", "frac12x"},  // and a letter after the longest match
      {"Not", "Not"},          // references are case-sensitive
      {"#1", "%231"},          // never a numeric reference
      {"a&b", "a%26b"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ListHref(c.in), c.out) << c.in;
}

TEST(NamesTest, ListLinesKeepNamesButNeverBreakALine) {
  EXPECT_EQ(ListLineName("My Movie #1 (100%).mp4"), "My Movie #1 (100%).mp4");
  EXPECT_EQ(ListLineName("a\r\nb\rc\nd"), "a%0D%0Ab%0Dc%0Ad");
  EXPECT_EQ(ListLineName("a*b"), "a*b");
  EXPECT_EQ(ListLineListName("Best*Of\n"), "Best%2AOf%0A");
}

TEST(NamesTest, ItemTitleDropsTheLastFourCharacters) {
  const struct {
    std::string_view in, out;
  } cases[] = {
      {"Holiday.mp4", "Holiday"}, {".mp4", ""},         {"ab", ""},   {"", ""},
      {"Café.mp4", "Café"},       {"日本.mp4", "日本"}, {"xyzé", ""}, {"aé.mp", "a"},
      {"Film.é日本", "Film"},
  };
  for (const auto& c : cases) EXPECT_EQ(ItemTitle(c.in), c.out) << c.in;
}

// Whatever bytes a name holds, the server reads the name back from the href the page links to.
TEST(NamesTest, EveryHrefDecodesBackToItsName) {
  std::mt19937 random(20240611);
  const std::string alphabet = std::string("aZ09 .-_~!$()+,;=:@&'\"<>#%?*/\\\r\n\t") + "\xC3\xA9" +
                               "\xE6\x97\xA5" + std::string(1, '\0') + "\xFF";
  for (int round = 0; round < 2000; ++round) {
    std::string name;
    const int length = static_cast<int>(random() % 12);
    for (int i = 0; i < length; ++i) name += alphabet[random() % alphabet.size()];
    if (round % 7 == 0) name = "not" + name;  // exercise the reference guard

    const std::string fileHref = "/" + PathSegment(name);
    EXPECT_EQ(AsServerReads(fileHref, ""), name);
    const std::string listHref = "/list&" + ListHref(name);
    EXPECT_EQ(AsServerReads(listHref, "/list&"), name);
    // Nothing in an encoded name needs HTML escaping or ends the attribute.
    for (const std::string& href : {fileHref, listHref.substr(6)}) {
      EXPECT_EQ(href.find_first_of("&<>\"' *#?"), std::string::npos) << href;
    }
  }
}

}  // namespace
}  // namespace vidoria
