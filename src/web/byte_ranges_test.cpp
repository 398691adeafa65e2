#include <gtest/gtest.h>

#include "web/byte_ranges.h"

namespace vidoria {
namespace {

TEST(ByteRangesTest, RangesOfAThousandByteFile) {
  struct Case {
    const char* header;
    int status;
    int64_t length;
    int64_t from;
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {"bytes=0-99", 206, 100, 0, "Content-Range", "bytes 0-99/1000"},
      {"bytes=900-", 206, 100, 900, "Content-Range", "bytes 900-999/1000"},
      {"bytes=-100", 206, 100, 900, "CONTENT-RANGE", "bytes 900-999/1000"},
      {"bytes=-5000", 206, 1000, 0, "CONTENT-RANGE", "bytes 0-999/1000"},
      {"bytes=500-100", 416, 0, 0, "", ""},
      {"bytes=1500-2000", 416, 0, 0, "", ""},
      {"bytes=1000-", 416, 0, 0, "", ""},
      {"bytes=abc-", 206, 1000, 0, "Content-Range", "bytes 0-999/1000"},
      {"bytes=0-99,200-299", 206, 100, 0, "Content-Range", "bytes 0-99/1000"},
      {"bytes=990-5000", 206, 10, 990, "Content-Range", "bytes 990-999/1000"},
      {"bytes=5-x", 206, 995, 5, "Content-Range", "bytes 5-999/1000"},
      {" BYTES = 1-1 ", 206, 1, 1, "Content-Range", "bytes 1-1/1000"},
      {"items=0-99", 200, 1000, 0, "", ""},
      {"bytes=-0", 200, 1000, 0, "", ""},
      {"bytes=-", 200, 1000, 0, "", ""},
      {"bytes", 200, 1000, 0, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    const RangeAnswer answer = ApplyRange(ParseRangeHeader(c.header), 1000);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.contentLength, c.length);
    EXPECT_EQ(answer.from, c.from);
    EXPECT_EQ(answer.headerName, c.name);
    EXPECT_EQ(answer.headerValue, c.value);
  }
}

TEST(ByteRangesTest, HeaderIsSplitIntoUnitFirstAndLast) {
  const RangeHeader range = ParseRangeHeader(" bytes = 10 - 20 , 30-40");
  EXPECT_EQ(range.unit, "BYTES");
  EXPECT_EQ(range.first, "10");
  EXPECT_EQ(range.last, "20");
  const RangeHeader noDash = ParseRangeHeader("bytes=7,9");
  EXPECT_EQ(noDash.first, "7");
  EXPECT_EQ(noDash.last, "");
}

}  // namespace
}  // namespace vidoria
