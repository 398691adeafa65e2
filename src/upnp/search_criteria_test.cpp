#include "upnp/search_criteria.h"

#include <gtest/gtest.h>

namespace vidoria {
namespace {

TEST(SearchCriteriaTest, TheCriteriaTvsSendMatchAsTheySay) {
  const SearchFields video{"library/all/ab12", "library/all", "Tom & Jerry",
                           "object.item.videoItem"};
  const SearchFields folder{"library", "0", "Library", "object.container.storageFolder"};
  struct Case {
    const char* criteria;
    bool video;
    bool folder;
  } cases[] = {
      {"*", true, true},
      {"upnp:class derivedfrom \"object.item.videoItem\"", true, false},
      {"upnp:class derivedfrom \"object.item\"", true, false},
      {"upnp:class derivedfrom \"object.ITEM\"", true, false},
      {"upnp:class derivedfrom \"object.item.video\"", false, false},  // a name, not a prefix
      {"upnp:class derivedfrom \"object.container\"", false, true},
      {"upnp:class = \"object.item.videoItem\"", true, false},
      {"dc:title contains \"jerry\"", true, false},
      {"dc:title doesNotContain \"jerry\"", false, true},
      {"dc:title startsWith \"tom\"", true, false},
      {"dc:title = \"Tom & Jerry\" and upnp:class derivedfrom \"object.item\"", true, false},
      {"(upnp:class derivedfrom \"object.item.audioItem\" or upnp:class derivedfrom "
       "\"object.item.videoItem\") and dc:title contains \"tom\"",
       true, false},
      {"dc:title contains \"lib\" or dc:title contains \"tom\"", true, true},
      {"@parentID = \"0\"", false, true},
      {"@refID exists false", true, true},
      {"@refID exists true", false, false},
      {"dc:title exists true AND upnp:class derivedfrom \"object.item\"", true, false},
      {"upnp:artist contains \"x\"", false, false},  // a property no object here has
      {"dc:title contains \"say \\\"hi\\\"\"", false, false},
  };
  for (const Case& c : cases) {
    const auto criterion = ParseSearchCriteria(c.criteria);
    ASSERT_TRUE(criterion) << c.criteria;
    EXPECT_EQ((*criterion)(video), c.video) << c.criteria;
    EXPECT_EQ((*criterion)(folder), c.folder) << c.criteria;
  }
}

TEST(SearchCriteriaTest, WhatIsNoCriteriaIsRefused) {
  std::string deep(kMaxCriteriaDepth + 1, '(');
  deep += "dc:title = \"a\"" + std::string(kMaxCriteriaDepth + 1, ')');
  for (const std::string& text :
       {std::string(""), std::string("dc:title"), std::string("dc:title contains"),
        std::string("dc:title contains \"open"), std::string("dc:title contains jerry"),
        std::string("dc:title ~ \"a\""), std::string("dc:title < \"a\""),
        std::string("(dc:title = \"a\""), std::string("dc:title = \"a\")"),
        std::string("dc:title = \"a\" and"), std::string("dc:title = \"a\" xor @id = \"b\""),
        std::string("@id exists maybe"), std::string("* and *"), deep}) {
    EXPECT_FALSE(ParseSearchCriteria(text)) << text;
  }
  std::string deepEnough(kMaxCriteriaDepth, '(');
  deepEnough += "dc:title = \"a\"" + std::string(kMaxCriteriaDepth, ')');
  EXPECT_TRUE(ParseSearchCriteria(deepEnough));
}

}  // namespace
}  // namespace vidoria
