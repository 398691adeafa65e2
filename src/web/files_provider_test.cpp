#include <regex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "server/connection_harness.h"
#include "web/web_fixture.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;
using testing::HttpAnswer;
using testing::TestClient;

class FileDeliveryTest : public testing::WebFixture {};

std::string Bytes(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
  return s;
}

TEST_F(FileDeliveryTest, AssetAnswersWithTypeAndLength) {
  WriteFile(programFolder_ + "kavra/kavra.css", "body { margin: 0 }");
  Start();
  const HttpAnswer answer = Get("/kavra/kavra.css");
  EXPECT_EQ(answer.head, "HTTP/1.1 200 OK\r\nCONTENT-TYPE: text/css\r\nCONTENT-LENGTH: 18");
  EXPECT_EQ(answer.body, "body { margin: 0 }");
  EXPECT_EQ(WaitForLogLine("SEND "),
            "SEND 127.0.0.1 > test \"GET /kavra/kavra.css\" 18 REF \"\" "
            "AGENT \"\" TYPE \"text/css\"");
}

TEST_F(FileDeliveryTest, AnswersWithoutContent) {
  WriteFile(programFolder_ + "kavra/index.html", "<p>index</p>");
  WriteFile(programFolder_ + "empty.txt", "");
  WriteFile(programFolder_ + "odd.xyz", "x");
  std::filesystem::create_directories(programFolder_ + "noindex");
  std::filesystem::create_directories(base_ / "prog2");
  WriteFile((base_ / "prog2" / "secret.txt").string(), "secret");
  Start();
  struct Case {
    std::string request;
    std::string head;
    std::string body;
    std::string logPrefix;
  };
  const Case cases[] = {
      {"GET /kavra HTTP/1.1\r\n\r\n",
       "HTTP/1.1 301 Moved Permanently\r\nLOCATION: /kavra/\r\nCONTENT-LENGTH: 29",
       "Status 301: Moved Permanently", ""},
      {"GET /kavra/ HTTP/1.1\r\n\r\n",
       "HTTP/1.1 200 OK\r\nCONTENT-TYPE: text/html\r\nCONTENT-LENGTH: 12", "<p>index</p>", "SEND "},
      {"GET /noindex/ HTTP/1.1\r\n\r\n", "HTTP/1.1 404 File not found\r\nCONTENT-LENGTH: 26",
       "Status 404: File not found",
       "FAIL 127.0.0.1 >  \"GET /noindex/\" 0 REF \"\" AGENT \"\" > File not found: "
       "\"/noindex/\"."},
      {"GET /empty.txt HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 0", "",
       "SEND 127.0.0.1 >  \"GET /empty.txt\" 0 REF \"\" AGENT \"\""},
      {"GET /odd.xyz HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 1", "x", "SEND "},
      {"GET /../prog2/secret.txt HTTP/1.1\r\n\r\n", "HTTP/1.1 403 Forbidden\r\nCONTENT-LENGTH: 21",
       "Status 403: Forbidden", "DENY "},
      {"GET /..%2f..%2fetc/passwd HTTP/1.1\r\n\r\n", "HTTP/1.1 403 Forbidden\r\nCONTENT-LENGTH: 21",
       "Status 403: Forbidden", "DENY "},
      {"GET /..\\..\\etc\\passwd HTTP/1.1\r\n\r\n", "HTTP/1.1 403 Forbidden\r\nCONTENT-LENGTH: 21",
       "Status 403: Forbidden", "DENY "},
      {"PUT /empty.txt HTTP/1.1\r\n\r\n", "HTTP/1.1 400 Bad Request\r\nCONTENT-LENGTH: 23",
       "Status 400: Bad Request",
       "BAD! 127.0.0.1 > \"PUT /empty.txt\" > Method \"PUT\" not supported."},
      {"GET /Unknown.mp4 HTTP/1.1\r\nHost: h:1\r\n\r\n",
       "HTTP/1.1 400 Bad Request\r\nCONTENT-LENGTH: 23", "Status 400: Bad Request",
       "BAD! 127.0.0.1 > h:1 \"GET /Unknown.mp4\" 0 REF \"\" AGENT \"\" > Invalid Host: \"h:1\"."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    const HttpAnswer answer = Request(c.request);
    EXPECT_EQ(answer.head, c.head);
    EXPECT_EQ(answer.body, c.body);
    if (!c.logPrefix.empty()) {
      EXPECT_NE(WaitForLogLine(c.logPrefix), "");
    }
  }
}

TEST_F(FileDeliveryTest, ByteRangesOverTheWire) {
  AddToLibrary((base_ / "videos" / "Film.mp4").string(), Bytes(1000));
  Start();
  const HttpAnswer first = Get("/Film.mp4", "Range: bytes=0-99\r\n");
  EXPECT_EQ(first.head,
            "HTTP/1.1 206 Partial Content\r\nCONTENT-TYPE: video/mp4\r\nCONTENT-LENGTH: "
            "100\r\nContent-Range: bytes 0-99/1000");
  EXPECT_EQ(first.body, Bytes(1000).substr(0, 100));
  const HttpAnswer suffix = Get("/Film.mp4", "Range: bytes=-100\r\n");
  EXPECT_EQ(suffix.Header("CONTENT-RANGE"), "bytes 900-999/1000");
  EXPECT_EQ(suffix.body, Bytes(1000).substr(900));
  const HttpAnswer unsatisfiable = Get("/Film.mp4", "Range: bytes=500-100\r\n");
  EXPECT_EQ(unsatisfiable.StatusLine(), "HTTP/1.1 416 Request range not satisfiable");
  EXPECT_EQ(unsatisfiable.Header("CONTENT-LENGTH"), "0");
  EXPECT_EQ(unsatisfiable.body, "");
  const HttpAnswer otherUnit = Get("/Film.mp4", "Range: items=0-99\r\n");
  EXPECT_EQ(otherUnit.StatusLine(), "HTTP/1.1 200 OK");
  EXPECT_EQ(otherUnit.body, Bytes(1000));
  EXPECT_NE(
      WaitForLogLine("PART 127.0.0.1 > test \"GET /Film.mp4\" 1000 RANGE \"items=0-99\" () REF"),
      "");
  EXPECT_NE(WaitForLogLine("PART 127.0.0.1 > test \"GET /Film.mp4\" 1000 RANGE \"bytes=0-99\" "
                           "(bytes 0-99/1000) REF \"\" AGENT \"\" TYPE \"video/mp4\""),
            "");

  TestClient client(port_);
  client.Send("HEAD /Film.mp4 HTTP/1.1\r\nRange: bytes=0-99\r\n\r\nGET /Film.mp4 HTTP/1.1\r\n\r\n");
  const HttpAnswer head = testing::ReadAnswer(client, true);
  EXPECT_EQ(head.head, "HTTP/1.1 200 OK\r\nCONTENT-TYPE: video/mp4\r\nCONTENT-LENGTH: 1000");
  const HttpAnswer after = testing::ReadAnswer(client, false, head.head.size() + 4);
  EXPECT_EQ(after.body, Bytes(1000)) << "the HEAD answer completed and the connection went on";
}

TEST_F(FileDeliveryTest, TvsThatAskGetDlnaHeadersAndOthersTheSameAnswerAsBefore) {
  AddToLibrary((base_ / "videos" / "Film.mp4").string(), Bytes(1000));
  WriteFile(programFolder_ + "kavra/kavra.css", "body { margin: 0 }");
  Start();
  const std::string kPlain = "HTTP/1.1 200 OK\r\nCONTENT-TYPE: video/mp4\r\nCONTENT-LENGTH: 1000";
  const std::string kAsk = "getcontentFeatures.dlna.org: 1\r\n";
  // Nothing known of the file (it is no MP4 file): no profile, what the server can do all the same.
  const std::string kFeatures =
      "DLNA.ORG_OP=01;DLNA.ORG_CI=0;DLNA.ORG_FLAGS=01700000000000000000000000000000";
  EXPECT_EQ(Get("/Film.mp4").head, kPlain);
  EXPECT_EQ(Get("/Film.mp4", "getcontentFeatures.dlna.org: 0\r\n").head, kPlain);
  struct Case {
    std::string method;
    std::string headers;
    std::string statusLine;
    std::string body;
  } cases[] = {
      {"GET", kAsk, "HTTP/1.1 200 OK", Bytes(1000)},
      {"GET", kAsk + "Range: bytes=10-19\r\n", "HTTP/1.1 206 Partial Content",
       Bytes(1000).substr(10, 10)},
      {"HEAD", kAsk, "HTTP/1.1 200 OK", ""},
  };
  for (const Case& c : cases) {
    TestClient client(port_);
    client.Send(c.method + " /Film.mp4 HTTP/1.1\r\n" + c.headers + "\r\n");
    const HttpAnswer answer = testing::ReadAnswer(client, c.method == "HEAD");
    EXPECT_EQ(answer.StatusLine(), c.statusLine) << c.method << " " << c.headers;
    EXPECT_EQ(answer.Header("contentFeatures.dlna.org"), kFeatures) << c.headers;
    EXPECT_EQ(answer.Header("transferMode.dlna.org"), "Streaming") << c.headers;
    EXPECT_EQ(answer.body, c.body) << c.method << " " << c.headers;
  }
  // A seek by time cannot be served from the stored file; a byte range can.
  const HttpAnswer timeSeek = Get("/Film.mp4", kAsk + "TimeSeekRange.dlna.org: npt=10.0-\r\n");
  EXPECT_EQ(timeSeek.StatusLine(), "HTTP/1.1 406 Not Acceptable");
  EXPECT_EQ(timeSeek.body, "Status 406: Not Acceptable");
  // Only videos: other files answer as they always did.
  const HttpAnswer css = Get("/kavra/kavra.css", kAsk + "TimeSeekRange.dlna.org: npt=10.0-\r\n");
  EXPECT_EQ(css.StatusLine(), "HTTP/1.1 200 OK");
  EXPECT_EQ(css.Header("contentFeatures.dlna.org"), "");
}

TEST_F(FileDeliveryTest, SubtitlesBesideAListedVideoAndNothingElse) {
  const std::string subtitles = "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n";
  AddToLibrary((base_ / "videos" / "Film.mp4").string(), Bytes(1000));
  AddToLibrary((base_ / "other" / "Plain.mp4").string(), Bytes(10));
  WriteFile((base_ / "videos" / "Film.srt").string(), subtitles);
  WriteFile((base_ / "videos" / "Stray.srt").string(), "stray");
  Start();
  const HttpAnswer found = Get("/Film.srt");
  EXPECT_EQ(found.StatusLine(), "HTTP/1.1 200 OK");
  EXPECT_EQ(found.Header("CONTENT-TYPE"), "text/srt");
  EXPECT_EQ(found.body, subtitles);
  for (const char* path : {"/Plain.srt", "/Stray.srt", "/..%2Fvideos%2FFilm.srt", "/Film.SRT"}) {
    EXPECT_EQ(Get(path).StatusLine(), "HTTP/1.1 404 File not found") << path;
  }
  // Samsung's TVs ask the video's answer for them; nobody else is told.
  const std::string ask = "getCaptionInfo.sec: 1\r\n";
  EXPECT_EQ(Get("/Film.mp4", ask).Header("CaptionInfo.sec"), "http://test/Film.srt");
  EXPECT_EQ(Get("/Film.mp4").Header("CaptionInfo.sec"), "");
  EXPECT_EQ(Get("/Plain.mp4", ask).Header("CaptionInfo.sec"), "");
}

TEST_F(FileDeliveryTest, LargeFileLeavesInPiecesOfTheSendBlockSize) {
  WriteFile(programFolder_ + "big.bin", Bytes(200000));
  std::mutex mu;
  std::vector<int64_t> contentOut;
  events_.dataOut = [&](Connection& c) {
    std::lock_guard lock(mu);
    if (contentOut.empty() || contentOut.back() != c.Response().contentOut) {
      contentOut.push_back(c.Response().contentOut);
    }
  };
  Start();
  const HttpAnswer answer = Get("/big.bin");
  EXPECT_EQ(answer.Header("CONTENT-LENGTH"), "200000");
  EXPECT_EQ(answer.body, Bytes(200000));
  StopServer();  // every send has been reported once the server is gone
  std::lock_guard lock(mu);
  std::vector<int64_t> pieces;
  for (size_t i = 0; i < contentOut.size(); ++i) {
    if (contentOut[i] > 0)
      pieces.push_back(contentOut[i] - (pieces.empty() ? 0 : contentOut[i - 1]));
  }
  EXPECT_EQ(pieces, (std::vector<int64_t>{64240, 64240, 64240, 7280}));
}

TEST_F(FileDeliveryTest, ClientLeavingEarlyIsLoggedWithItsFigures) {
  WriteFile(programFolder_ + "huge.bin", Bytes(50 << 20));
  Start();
  {
    TestClient client(port_);
    client.Send("GET /huge.bin HTTP/1.1\r\n\r\n");
    client.ReadAtLeast(300000);
    client.Reset();
  }
  const std::string plain = WaitForLogLine("ERR! ");
  EXPECT_TRUE(std::regex_match(
      plain, std::regex("ERR! 127\\.0\\.0\\.1 >  \"GET /huge\\.bin\" -[0-9]+ REF \"\" AGENT \"\" "
                        "[0-9]+/52428800 bytes in [0-9]+ ms =[0-9]+ kbits")))
      << plain;
  {
    TestClient client(port_);
    client.Send("GET /huge.bin HTTP/1.1\r\nRange: bytes=100-\r\n\r\n");
    client.ReadAtLeast(300000);
    client.Reset();
  }
  const std::string ranged = WaitForLogLine("BRK! ");
  EXPECT_TRUE(std::regex_match(
      ranged, std::regex("BRK! 127\\.0\\.0\\.1 >  \"GET /huge\\.bin\" -[0-9]+ REF \"\" AGENT \"\" "
                         "[0-9]+ bytes in [0-9]+ ms =[0-9]+ kbits")))
      << ranged;
}

TEST_F(FileDeliveryTest, FileThatShrinksWhileSendingEndsWithAReadError) {
  const std::string path = programFolder_ + "shrinking.bin";
  WriteFile(path, Bytes(20 << 20));
  Start();
  TestClient client(port_);
  client.Send("GET /shrinking.bin HTTP/1.1\r\n\r\n");
  client.ReadAtLeast(100000);
  std::filesystem::resize_file(path, 200000);
  EXPECT_TRUE(client.WaitClosed(20s));
  EXPECT_LT(client.Received().size(), size_t{20 << 20});
  EXPECT_NE(
      WaitForLogLine("CRC! 127.0.0.1 >  \"GET /shrinking.bin\" > Error reading File: \"" +
                     programFolder_.substr(0, programFolder_.size() - 1) + "/shrinking.bin\"."),
      "");
}

TEST_F(FileDeliveryTest, LargeAnnouncedBodyIsRefusedBeforeAnyFileHeader) {
  WriteFile(programFolder_ + "page.html", "<p/>");
  Start();
  TestClient client(port_);
  client.Send("GET /page.html HTTP/1.1\r\nContent-Length: 500000\r\n\r\n");
  EXPECT_TRUE(client.WaitClosed());
  EXPECT_EQ(client.Received(),
            "HTTP/1.1 400 Bad Request\r\nCONTENT-LENGTH: 23\r\n\r\nStatus 400: Bad Request");
  EXPECT_NE(WaitForLogLine("BAD! 127.0.0.1 >  \"GET /page.html\" 0 REF \"\" AGENT \"\" > Content "
                           "size exceeds 128K limit (size=500000 bytes)."),
            "");
}

TEST_F(FileDeliveryTest, ClientLeavingWhileSendingItsBodyIsLogged) {
  WriteFile(programFolder_ + "page.html", "<p/>");
  Start();
  {
    // In memory: the body bytes and the client's leaving arrive as separate steps, always.
    testing::ConnectionDriver driver(server_->ServerForTesting());
    auto& client = driver.Connect();
    driver.Exchange(
        client, "GET /page.html HTTP/1.1\r\nContent-Length: 500\r\n\r\n" + std::string(200, 'b'));
    client.peer->Close();
    driver.Run();
  }
  EXPECT_NE(WaitForLogLine("ERR! 127.0.0.1 >  \"GET /page.html\" 0 REF \"\" AGENT \"\" > "
                           "DISCONNECTED while receiving a Request (200 of 500 bytes received)."),
            "");
}

}  // namespace
}  // namespace vidoria
