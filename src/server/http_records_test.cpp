#include "server/http_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/info.h"

namespace vidoria {
namespace {

// --- Header values, shared by both records ---

TEST(HttpRecordsTest, NameKeepsFirstSpellingAndMatchesAnyCase) {
  ServerResponse response;
  response.SetValue("Content-Range", "bytes 0-1/10");
  EXPECT_EQ(response.Value("CONTENT-RANGE"), "bytes 0-1/10");
  response.SetValue("content-range", "bytes 2-3/10");
  EXPECT_EQ(response.HeaderText(), "Content-Range: bytes 2-3/10\r\n");
}

TEST(HttpRecordsTest, AccessorsWriteUpperCaseNamesUnlessSpelledBefore) {
  ServerResponse response;
  response.SetContentType("video/mp4");
  response.SetContentLength(500);
  response.SetValue("Location", "/x");
  EXPECT_EQ(response.HeaderText(),
            "CONTENT-TYPE: video/mp4\r\nCONTENT-LENGTH: 500\r\nLocation: /x\r\n");

  ServerResponse spelled;
  spelled.SetHeaderText("Content-Length: 5\r\n");
  spelled.SetContentLength(7);
  EXPECT_EQ(spelled.HeaderText(), "Content-Length: 7\r\n");
}

TEST(HttpRecordsTest, EmptiedEntryLeavesHeaderTextButKeepsItsPlace) {
  ServerResponse response;
  response.SetValue("Content-Range", "bytes 0-1/10");
  response.SetValue("Location", "/a");
  response.SetValue("Content-Range", "");
  EXPECT_EQ(response.HeaderText(), "Location: /a\r\n");
  EXPECT_EQ(response.Value("Content-Range"), "");
  response.SetValue("CONTENT-RANGE", "bytes 4-5/10");
  EXPECT_EQ(response.HeaderText(), "Content-Range: bytes 4-5/10\r\nLocation: /a\r\n");
}

TEST(HttpRecordsTest, ContentLength) {
  struct Case {
    std::optional<std::string> entry;  // nullopt: no entry at all
    int64_t length;
    bool has;
  };
  const Case cases[] = {
      {std::nullopt, 0, false},         {"", 0, false}, {" \t", 0, false}, {"  42 \t", 42, true},
      {"9000000000", 9000000000, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry.value_or("(absent)"));
    ServerRequest request;
    if (c.entry) request.SetValue("Content-Length", *c.entry);
    EXPECT_EQ(request.ContentLength(), c.length);
    EXPECT_EQ(request.HasContentLength(), c.has);
  }
  for (const char* bad : {"12abc", "abc", "1 2", "99999999999999999999"}) {
    ServerRequest request;
    request.SetValue("CONTENT-LENGTH", bad);
    EXPECT_THROW(request.ContentLength(), EConvertError) << bad;
  }
}

TEST(HttpRecordsTest, SetHeaderTextParsesLines) {
  const std::pair<const char*, const char*> cases[] = {
      {"A: 1\r\nB: 2\r\n", "A: 1\r\nB: 2\r\n"},
      {"A: 1\nB: 2", "A: 1\r\nB: 2\r\n"},
      // A bare LF ends the header; an empty CR LF line is merely skipped.
      {"A: 1\n\nB: 2\n", "A: 1\r\n"},
      {"A: 1\r\n\r\nB: 2\r\n", "A: 1\r\nB: 2\r\n"},
      {"junk line\r\nA:  spaced \t\r\n", "A: spaced\r\n"},
      {"  X-Name :v: w\r\n", "X-Name: v: w\r\n"},
      {": nameless\r\nA: 1\r\n", "A: 1\r\n"},
  };
  for (const auto& [text, header] : cases) {
    SCOPED_TRACE(text);
    ServerRequest request;
    request.SetHeaderText(text);
    EXPECT_EQ(request.HeaderText(), header);
  }
}

TEST(HttpRecordsTest, TwoHostLinesKeepTheLast) {
  ServerRequest request;
  request.SetHeaderText("Host: first.example\r\nHost: second.example\r\n");
  EXPECT_EQ(request.Host(), "second.example");
}

// --- Cookies ---

TEST(HttpRecordsTest, RequestCookieLinesAreJoinedAndSplitAtSemicolons) {
  ServerRequest request;
  request.SetHeaderText("Cookie: a=1; b=2\r\nCOOKIE: c=3\r\n");
  EXPECT_EQ(request.Value("cookie"), "a=1; b=2;c=3");
  EXPECT_EQ(request.Cookie().Value("b"), "2");
  EXPECT_EQ(request.Cookie().Value("c"), "3");
  EXPECT_EQ(request.HeaderText(), "COOKIE: a=1\r\nCOOKIE: b=2\r\nCOOKIE: c=3\r\n");
}

TEST(HttpRecordsTest, CookieValueWithAmpersandDoesNotHideLaterCookies) {
  ServerRequest request;
  request.SetValue("COOKIE", "prefs=x&y; session={ID}");
  EXPECT_EQ(request.Cookie().Value("prefs"), "x&y");
  EXPECT_EQ(request.Cookie().Value("session"), "{ID}");
}

TEST(HttpRecordsTest, ResponseCookieComesAfterAllOtherLines) {
  ServerResponse response;
  response.Cookie().SetValue("session", "ID");
  response.SetValue("Location", "/");
  response.SetContentLength(0);
  EXPECT_EQ(response.HeaderText(),
            "Location: /\r\nCONTENT-LENGTH: 0\r\nSET-COOKIE: session=ID\r\n");
}

// --- Response ---

TEST(ServerResponseTest, SetHeaderTextReadsStatusLine) {
  struct Case {
    const char* text;
    int code;
    const char* status;
    const char* header;
  };
  const Case cases[] = {
      {"HTTP/1.1 404 Not Found\r\nX-A: 1\r\n", 404, "Not Found", "X-A: 1\r\n"},
      {"http/1.0 301 Moved Permanently\nLocation: /x\n", 301, "Moved Permanently",
       "Location: /x\r\n"},
      {"HTTPS/1.1 206 Partial Content", 206, "Partial Content", ""},
      // A colon in the status text must not turn the status line into a header line.
      {"HTTP/1.1 500 Error: disk full\r\n", 500, "Error: disk full", ""},
      {"HTTP/1.1 204\r\n", 204, "", ""},
      // Without a readable code nothing of the line is taken, but the old status is gone.
      {"HTTP/1.1 abc Bad\r\nX-A: 1\r\n", 0, "", "X-A: 1\r\n"},
      {"HTTP/1.1 -5 Bad\r\n", 0, "", ""},
      {"HTTP/1.1\r\n", 0, "", ""},
      // No status line: the status is left as it was.
      {"X-A: 1\r\n", 200, "OK", "X-A: 1\r\n"},
      {" HTTP/1.1 404 Not Found\r\n", 200, "OK", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ServerResponse response;
    response.SetHeaderText(c.text);
    EXPECT_EQ(response.statusCode, c.code);
    EXPECT_EQ(response.statusText, c.status);
    EXPECT_EQ(response.HeaderText(), c.header);
  }
}

TEST(ServerResponseTest, ClearRestoresDefaults) {
  ServerResponse response;
  response.Status(206, "Partial Content");
  response.sending = response.headerSent = response.done = response.sent = true;
  response.sendContent = false;
  response.contentOut = 77;
  response.SetContentLength(77);
  response.Cookie().SetValue("session", "ID");

  response.Clear();
  EXPECT_EQ(response.statusCode, 200);
  EXPECT_EQ(response.statusText, "OK");
  EXPECT_FALSE(response.sending || response.headerSent || response.done || response.sent);
  EXPECT_TRUE(response.sendContent);
  EXPECT_EQ(response.contentOut, 0);
  EXPECT_EQ(response.HeaderText(), "");
  EXPECT_FALSE(response.HasContentLength());
}

// --- Request ---

TEST(ServerRequestTest, MethodIsStoredUpperCase) {
  ServerRequest request;
  request.SetMethod("get");
  EXPECT_EQ(request.Method(), "GET");
}

TEST(ServerRequestTest, FileNameEqualToRawPathCarriesItAlong) {
  ServerRequest request;
  request.SetFileName("/list&movies");  // on a cleared request both are ""
  EXPECT_EQ(request.RawPath(), "/list&movies");
  request.SetFileName("/list&shows");
  EXPECT_EQ(request.URI(), "/list&shows");

  request.SetRawPath("/sent");
  request.SetFileName("/rewritten");
  EXPECT_EQ(request.FileName(), "/rewritten");
  EXPECT_EQ(request.URI(), "/sent");
}

TEST(ServerRequestTest, URIAddsQueryOnlyWhenNotEmpty) {
  ServerRequest request;
  request.SetFileName("/a");
  EXPECT_EQ(request.URI(), "/a");
  request.Query().SetText("");
  EXPECT_EQ(request.URI(), "/a");
  request.Query().SetText("x=1&y");
  EXPECT_EQ(request.URI(), "/a?x=1&y");
}

TEST(ServerRequestTest, FilePathFollowsFileName) {
  ServerRequest request;
  request.SetFileName("/movies//Holiday.mp4/");
  EXPECT_EQ(request.FilePath(), (std::vector<std::string>{"movies", "Holiday.mp4"}));
  request.SetFileName("/kavra");
  EXPECT_EQ(request.FilePath(), (std::vector<std::string>{"kavra"}));
}

TEST(ServerRequestTest, ClearEmptiesEverythingButActive) {
  ServerRequest request;
  request.SetMethod("POST");
  request.SetFileName("/login");
  request.SetHeaderText("Host: h\r\nCookie: session=ID\r\n");
  request.GetInfo().SetLargeIntField("from", 5);
  request.Query().SetText("a=1");
  request.Params().SetText("user=u");
  ASSERT_EQ(request.FilePath().size(), 1u);
  request.close = request.started = request.active = request.complete = request.accepted = true;
  request.contentIn = 9;

  request.Clear();
  EXPECT_EQ(request.Method(), "");
  EXPECT_EQ(request.FileName(), "");
  EXPECT_EQ(request.URI(), "");
  EXPECT_EQ(request.HeaderText(), "");
  EXPECT_EQ(request.Cookie().Value("session"), "");
  EXPECT_FALSE(request.GetInfo().Has("from"));
  EXPECT_EQ(request.Params().Value("user"), "");
  EXPECT_TRUE(request.FilePath().empty());
  EXPECT_FALSE(request.close || request.started || request.complete || request.accepted);
  EXPECT_EQ(request.contentIn, 0);
  EXPECT_TRUE(request.active);

  // The cleared request takes its next path as both FileName and raw path again.
  request.SetFileName("/next");
  EXPECT_EQ(request.URI(), "/next");
}

TEST(ServerRequestTest, ParamsAreNotDecoded) {
  ServerRequest request;
  request.Params().AddText("user=a+b&pass=x%40y");
  EXPECT_EQ(request.Params().Value("user"), "a+b");
  EXPECT_EQ(request.Params().Value("pass"), "x%40y");
}

TEST(ServerRequestTest, ApplyFixup) {
  struct Case {
    const char* label;
    ServerRequestFixup fixup;
    const char* fileName;
    const char* query;
    const char* wantFileName;
    const char* wantQuery;
  };
  const Case cases[] = {
      {"no flags", {}, "http://h/%61", "x=%41", "http://h/%61", "x=%41"},
      {"prefix", {.removePrefix = true}, "http://host/x/y", "", "/x/y", ""},
      {"prefix any case", {.removePrefix = true}, "hTTpS://host:80/p", "", "/p", ""},
      {"prefix host only", {.removePrefix = true}, "https://host", "", "", ""},
      {"prefix too short", {.removePrefix = true}, "http://h", "", "http://h", ""},
      {"prefix not at start", {.removePrefix = true}, "/http://h/x", "", "/http://h/x", ""},
      {"other scheme", {.removePrefix = true}, "ftp://host/x", "", "ftp://host/x", ""},
      {"decode", {.decodeFileName = true}, "/a%20b%2", "", "/a b%2", ""},
      // The prefix is looked for before decoding, so an encoded one stays.
      {"prefix before decode",
       {.removePrefix = true, .decodeFileName = true},
       "http%3A%2F%2Fh%2Fx",
       "",
       "http://h/x",
       ""},
      // Upper-casing comes after decoding, so decoded letters are upper-cased too.
      {"upper after decode",
       {.decodeFileName = true, .upperCaseFileName = true},
       "/list%26m%6fvies",
       "",
       "/LIST&MOVIES",
       ""},
      {"query pairs", {.decodeQuery = true}, "/", "a%20b=c%26d&e=%41", "/", "a b=c&d&e=A"},
      {"query without pairs", {.decodeQuery = true}, "/", "hello%20world", "/", "hello world"},
      {"query left alone", {.decodeFileName = true}, "/", "e=%41", "/", "e=%41"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ServerRequest request;
    request.SetFileName(c.fileName);
    request.Query().SetText(c.query);
    request.ApplyFixup(c.fixup);
    EXPECT_EQ(request.FileName(), c.wantFileName);
    EXPECT_EQ(request.Query().Text(), c.wantQuery);
  }
}

TEST(ServerRequestTest, FixupKeepsRawPathAndRebuildsFilePath) {
  ServerRequest request;
  request.SetFileName("http://host/a%2Fb");
  ASSERT_EQ(request.FilePath().size(), 3u);
  request.ApplyFixup({.removePrefix = true, .decodeFileName = true});
  EXPECT_EQ(request.FileName(), "/a/b");
  EXPECT_EQ(request.FilePath(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(request.URI(), "http://host/a%2Fb");
}

TEST(ServerRequestTest, DecodedQueryReadsDecodedValues) {
  ServerRequest request;
  request.Query().SetText("name=Holiday%20Movie");
  request.ApplyFixup({.decodeQuery = true});
  EXPECT_EQ(request.Query().Value("name"), "Holiday Movie");
}

// --- Info ---

struct InfoCase {
  const char* label;
  Info::Value stored;
  std::string text;
  std::optional<bool> boolean;  // nullopt: EConvertError
  std::optional<int64_t> number;
};

void Store(Info& info, const Info::Value& value) {
  if (auto* s = std::get_if<std::string>(&value)) info.SetTextField("f", *s);
  if (auto* b = std::get_if<bool>(&value)) info.SetBooleanField("f", *b);
  if (auto* n = std::get_if<int64_t>(&value)) info.SetLargeIntField("f", *n);
}

TEST(InfoTest, ConvertsBetweenKinds) {
  const InfoCase cases[] = {
      {"decimal text", std::string("123"), "123", std::nullopt, 123},
      {"negative text", std::string("-5"), "-5", std::nullopt, -5},
      {"true text", std::string("tRUE"), "tRUE", true, std::nullopt},
      {"false text", std::string("False"), "False", false, std::nullopt},
      {"empty text", std::string(""), "", std::nullopt, std::nullopt},
      {"padded number", std::string(" 12"), " 12", std::nullopt, std::nullopt},
      {"trailing junk", std::string("12x"), "12x", std::nullopt, std::nullopt},
      {"too large", std::string("99999999999999999999"), "99999999999999999999", std::nullopt,
       std::nullopt},
      {"true", true, "True", true, 1},
      {"false", false, "False", false, 0},
      {"zero", int64_t{0}, "0", false, 0},
      {"negative", int64_t{-7}, "-7", true, -7},
      {"large", int64_t{9000000000}, "9000000000", true, 9000000000},
  };
  for (const InfoCase& c : cases) {
    SCOPED_TRACE(c.label);
    Info info;
    Store(info, c.stored);
    EXPECT_EQ(info.TextField("F"), c.text);
    if (c.boolean) {
      EXPECT_EQ(info.BooleanField("F"), *c.boolean);
    } else {
      EXPECT_THROW(info.BooleanField("F"), EConvertError);
    }
    if (c.number) {
      EXPECT_EQ(info.LargeIntField("F"), *c.number);
    } else {
      EXPECT_THROW(info.LargeIntField("F"), EConvertError);
    }
  }
}

TEST(InfoTest, ConversionErrorsNameTheKinds) {
  Info info;
  info.SetTextField("fname", "Holiday.mp4");
  try {
    info.LargeIntField("fname");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Can not convert AnsiString to LargeInt.");
    EXPECT_STREQ(e.ClassName(), "EConvertError");
  }
  try {
    info.BooleanField("fname");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Can not convert AnsiString to Boolean.");
  }
}

TEST(InfoTest, AbsentFieldsReadEmpty) {
  Info info;
  EXPECT_EQ(info.TextField("x"), "");
  EXPECT_FALSE(info.BooleanField("x"));
  EXPECT_EQ(info.LargeIntField("x"), 0);
  EXPECT_FALSE(info.Has("x"));
}

TEST(InfoTest, SetReplacesValueAndKindOfSameNameInAnyCase) {
  Info info;
  info.SetTextField("From", "start");
  info.SetLargeIntField("FROM", 5);
  EXPECT_EQ(info.Count(), 1u);
  EXPECT_EQ(info.LargeIntField("from"), 5);
  info.Remove("fRoM");
  EXPECT_FALSE(info.Has("from"));
  EXPECT_EQ(info.Count(), 0u);
}

TEST(InfoTest, FieldWithoutNameIsRefused) {
  Info info;
  const char* message = "TRecord.SetObject: Fields without a name not allowed.";
  EXPECT_THROW(
      {
        try {
          info.SetTextField("", "x");
        } catch (const EConvertError& e) {
          EXPECT_STREQ(e.what(), message);
          throw;
        }
      },
      EConvertError);
  EXPECT_THROW(info.SetBooleanField("", true), EConvertError);
  EXPECT_THROW(info.SetLargeIntField("", 1), EConvertError);
  EXPECT_EQ(info.Count(), 0u);
}

}  // namespace
}  // namespace vidoria
