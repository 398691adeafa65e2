#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/http_reader.h"

namespace vidoria {
namespace {

// Feeds bytes to a reader the way a connection does and records every step it reports.
class Harness {
 public:
  struct Step {
    bool complete;
    bool started;
    int64_t contentIn;
    std::string content;
  };

  explicit Harness(HttpReaderLimits limits = {128000, 16000, {}}) : reader(limits) {
    callbacks.received = [this] {
      steps.push_back({request.complete, request.started, request.contentIn, reader.TakeContent()});
    };
    callbacks.invalid = [this] { ++invalid; };
  }

  // Appends `bytes` in slices of `slice` bytes, processing after each as receives would.
  HttpReader::Outcome Feed(const std::string& bytes, size_t slice = SIZE_MAX) {
    HttpReader::Outcome outcome = HttpReader::Outcome::kNeedMore;
    for (size_t at = 0; at < bytes.size(); at += slice) {
      reader.Append(std::string_view(bytes).substr(at, slice));
      outcome = reader.Process(request, response, callbacks);
      if (outcome == HttpReader::Outcome::kInvalid) break;
    }
    return outcome;
  }
  // The response has left: the next request may be read.
  HttpReader::Outcome NextRequest() {
    request.Clear();
    response.Clear();
    reader.RequestDone();
    return reader.Process(request, response, callbacks);
  }
  std::string AllContent() const {
    std::string all;
    for (const auto& s : steps) all += s.content;
    return all;
  }

  HttpReader reader;
  HttpReader::Callbacks callbacks;
  ServerRequest request;
  ServerResponse response;
  std::vector<Step> steps;
  int invalid = 0;
};

class ReaderTest : public ::testing::Test, public Harness {};

TEST_F(ReaderTest, RequestWithoutBodyGivesOneCompleteStep) {
  EXPECT_EQ(Feed("GET / HTTP/1.1\r\n\r\n"), HttpReader::Outcome::kBusy);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_TRUE(steps[0].complete);
  EXPECT_TRUE(steps[0].started) << "Started is true during the first step of a request";
  EXPECT_FALSE(request.started);
  EXPECT_EQ(request.Method(), "GET");
  EXPECT_EQ(request.FileName(), "/");
  EXPECT_EQ(request.Query().Text(), "");
  EXPECT_FALSE(request.close);
  EXPECT_TRUE(request.active);
}

TEST_F(ReaderTest, Http10RequestLineIsParsedWithoutDecoding) {
  Feed("get /a%20b?b=1&c=%41 HTTP/1.0\r\n\r\n");
  EXPECT_EQ(request.Method(), "GET");
  EXPECT_EQ(request.FileName(), "/a%20b");
  EXPECT_EQ(request.Query().Text(), "b=1&c=%41");
  EXPECT_TRUE(request.close);
}

TEST_F(ReaderTest, HeaderFieldsAreParsed) {
  Feed(
      "GET / HTTP/1.1\r\nHost: one\r\nhost: two\r\nCookie: a=1\r\nCOOKIE: b=2\r\n"
      "Connection: Close\r\nno colon line\r\nX-Pad:   spaced value  \r\n\r\n");
  EXPECT_EQ(request.Host(), "two");
  EXPECT_EQ(request.Value("COOKIE"), "a=1;b=2");
  EXPECT_EQ(request.Cookie().Value("b"), "2");
  EXPECT_TRUE(request.close);
  EXPECT_EQ(request.Value("x-pad"), "spaced value");
}

TEST_F(ReaderTest, RequestLineAndHeaderLimits) {
  struct Case {
    const char* name;
    std::string bytes;
    bool invalid;
  };
  const std::string get = "GET /";
  auto line = [&](size_t length) {  // a request line of exactly `length` bytes
    const std::string tail = " HTTP/1.1";
    return get + std::string(length - get.size() - tail.size(), 'a') + tail + "\r\n";
  };
  auto header = [&](size_t blockLength) {  // a header block whose CR LF CR LF starts at byte n
    const std::string start = "X: ";
    return line(20) + start + std::string(blockLength - 1 - start.size(), 'b') + "\r\n\r\n";
  };
  const Case cases[] = {
      {"request line of 128000 bytes", line(128000) + "\r\n", false},
      {"request line of 128001 bytes", line(128001) + "\r\n", true},
      {"128002 bytes without a line end wait", std::string(128002, 'x'), false},
      {"128003 bytes without a line end", std::string(128003, 'x'), true},
      {"header end starting at byte 16000", header(16000), false},
      {"header end starting at byte 16001", header(16001), true},
      {"16004 header bytes without an end wait", line(20) + std::string(16004, 'h'), false},
      {"16005 header bytes without an end", line(20) + std::string(16005, 'h'), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness fresh;
    fresh.Feed(c.bytes, 64240);
    EXPECT_EQ(fresh.invalid, c.invalid ? 1 : 0);
  }
}

TEST_F(ReaderTest, MalformedRequestLinesAreInvalidWithTheOffendingText) {
  struct Case {
    std::string line;
    std::string fileName;
  };
  const Case cases[] = {
      {"GET /x", "GET /x"},  // no protocol
      {"GET /x FTP/1.0", "GET /x FTP/1.0"},
      {"GET HTTP/1.1", "HTTP/1.1"},  // no second space
      {"GET /x HTTP/", ""},          // protocol has its slash but nothing else: still valid
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    Harness fresh;
    fresh.Feed(c.line + "\r\n\r\n");
    if (c.fileName.empty()) {
      EXPECT_EQ(fresh.invalid, 0);
    } else {
      EXPECT_EQ(fresh.invalid, 1);
      EXPECT_EQ(fresh.request.FileName(), c.fileName);
    }
  }
}

TEST_F(ReaderTest, BareLineFeedsNeverEndARequestLine) {
  EXPECT_EQ(Feed("GET / HTTP/1.1\n\n"), HttpReader::Outcome::kNeedMore);
  EXPECT_TRUE(steps.empty());
  EXPECT_EQ(invalid, 0);
}

TEST_F(ReaderTest, BodyArrivesInStepsAfterTheHeader) {
  Feed("POST /f HTTP/1.1\r\nContent-Length: 10\r\n\r\n");
  Feed("0123");
  Feed("456789");
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0].contentIn, 0);
  EXPECT_FALSE(steps[0].complete);
  EXPECT_TRUE(steps[0].started);
  EXPECT_EQ(steps[1].content, "0123");
  EXPECT_FALSE(steps[1].started);
  EXPECT_TRUE(steps[2].complete);
  EXPECT_EQ(steps[2].contentIn, 10);
  EXPECT_EQ(AllContent(), "0123456789");
}

TEST_F(ReaderTest, BytesBeyondTheAnnouncedBodyStartTheNextRequest) {
  EXPECT_EQ(Feed("POST /a HTTP/1.1\r\nContent-Length: 3\r\n\r\nabcGET /b HTTP/1.1\r\n\r\n"),
            HttpReader::Outcome::kBusy);
  EXPECT_EQ(AllContent(), "abc");
  EXPECT_TRUE(reader.DataPending());
  EXPECT_EQ(request.FileName(), "/a");
  EXPECT_EQ(NextRequest(), HttpReader::Outcome::kBusy);
  EXPECT_EQ(request.FileName(), "/b");
  EXPECT_EQ(request.Method(), "GET");
}

TEST_F(ReaderTest, ChunkedBodyInAnySlicing) {
  const std::string request =
      "POST /c HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
      "5\r\nhello\r\nA\r\n0123456789\r\n0\r\n\r\n"
      "GET /next HTTP/1.1\r\n\r\n";
  for (size_t slice : {SIZE_MAX, size_t{7}, size_t{1}}) {
    SCOPED_TRACE(slice);
    Harness fresh;
    fresh.Feed(request, slice);
    EXPECT_EQ(fresh.AllContent(), "hello0123456789");
    EXPECT_EQ(fresh.request.contentIn, 15);
    EXPECT_TRUE(fresh.request.complete);
    EXPECT_TRUE(fresh.steps.back().complete);
    EXPECT_EQ(fresh.NextRequest(), HttpReader::Outcome::kBusy);
    EXPECT_EQ(fresh.request.FileName(), "/next");
  }
}

TEST_F(ReaderTest, ChunkSizesReadOddDigitsAsZeroAndSaturate) {
  // "1x" reads as 0x10; an extension after ';' counts as zero digits too.
  Feed("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n1x\r\n" + std::string(16, 'q') +
       "\r\n0\r\n\r\n");
  EXPECT_EQ(AllContent(), std::string(16, 'q'));
  Harness huge;
  huge.Feed("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFFFFFF\r\nab");
  EXPECT_EQ(huge.AllContent(), "ab");
  EXPECT_FALSE(huge.request.complete);
}

TEST_F(ReaderTest, ContentLengthThatIsNoNumberMeansNoBody) {
  EXPECT_EQ(Feed("POST / HTTP/1.1\r\nContent-Length: ten\r\n\r\n"), HttpReader::Outcome::kBusy);
  EXPECT_TRUE(request.complete);
  EXPECT_EQ(request.ContentLength(), 0);
}

}  // namespace
}  // namespace vidoria

namespace vidoria {
namespace {

TEST(HttpReaderLimitsTest, ChunkSizeLineIsHeldToTheLimitHoweverItIsSplit) {
  const std::string header = "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string longLine(200, '1');
  for (size_t slice : {SIZE_MAX, size_t{64}, size_t{1}}) {
    for (const std::string& tail : {longLine, longLine + "\r\n"}) {
      SCOPED_TRACE(std::to_string(slice) + (tail.ends_with("\r\n") ? " ended" : " open"));
      Harness reader(HttpReaderLimits{100, 16000, {}});
      reader.Feed(header + "1\r\na\r\n");
      EXPECT_EQ(reader.Feed(tail, slice), HttpReader::Outcome::kInvalid);
      EXPECT_EQ(reader.invalid, 1);
    }
  }
}

}  // namespace
}  // namespace vidoria
