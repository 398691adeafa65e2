#include "upnp/soap.h"

#include <gtest/gtest.h>

namespace vidoria {
namespace {

std::string Envelope(const std::string& inner) {
  return "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>" +
         inner + "</s:Body></s:Envelope>";
}

TEST(SoapReader, ReadsTheActionAndItsArgumentsAsClientsWriteThem) {
  struct Case {
    const char* what;
    std::string body;
    std::string action;
    std::vector<std::pair<std::string, std::string>> arguments;
  } cases[] = {
      {"plain",
       Envelope("<u:Browse xmlns:u=\"urn:x\"><ObjectID>0</ObjectID><Filter>*</Filter>"
                "</u:Browse>"),
       "Browse",
       {{"ObjectID", "0"}, {"Filter", "*"}}},
      {"escaped and referenced text",
       Envelope("<u:Search xmlns:u=\"urn:x\"><SearchCriteria>dc:title contains &quot;Tom &amp; "
                "J&#xE9;r&#233;my&quot;</SearchCriteria></u:Search>"),
       "Search",
       {{"SearchCriteria", "dc:title contains \"Tom & J\xC3\xA9r\xC3\xA9my\""}}},
      {"empty, self-closed and CDATA arguments, blanks and a comment",
       "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!-- a TV --><SOAP-ENV:Envelope "
       "xmlns:SOAP-ENV='e'>\n <SOAP-ENV:Body>\n  <m:Browse xmlns:m='urn:x'>\n"
       "   <SortCriteria></SortCriteria><Filter/><ObjectID><![CDATA[a<b]]></ObjectID>\n"
       "  </m:Browse>\n </SOAP-ENV:Body>\n</SOAP-ENV:Envelope>\n",
       "Browse",
       {{"SortCriteria", ""}, {"Filter", ""}, {"ObjectID", "a<b"}}},
      {"no arguments",
       Envelope("<u:GetSystemUpdateID xmlns:u=\"urn:x\"/>"),
       "GetSystemUpdateID",
       {}},
  };
  for (const Case& c : cases) {
    const auto call = ReadSoapCall(c.body);
    ASSERT_TRUE(call) << c.what;
    EXPECT_EQ(call->action, c.action) << c.what;
    EXPECT_EQ(call->arguments, c.arguments) << c.what;
  }
}

TEST(SoapReader, RefusesWhatIsNoSingleWellFormedCall) {
  const std::string deep = "<a>" + std::string(100000, '<') + "</a>";
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;\">]>" +
      Envelope("<u:Browse xmlns:u=\"urn:x\"><ObjectID>&b;</ObjectID></u:Browse>");
  const std::string external =
      "<?xml version=\"1.0\"?><!DOCTYPE e [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" +
      Envelope("<u:Browse xmlns:u=\"urn:x\"><ObjectID>&x;</ObjectID></u:Browse>");
  const struct {
    const char* what;
    std::string body;
  } cases[] = {
      {"nothing", ""},
      {"no XML", "Browse please"},
      {"cut short", Envelope("<u:Browse><ObjectID>0</ObjectID>").substr(0, 120)},
      {"no action", Envelope("")},
      {"two actions", Envelope("<u:A xmlns:u=\"urn:x\"/><u:B xmlns:u=\"urn:x\"/>")},
      {"not an envelope", "<Envelope2><Body><u:A/></Body></Envelope2>"},
      {"mismatched end", Envelope("<u:A><X>1</Y></u:A>")},
      {"nested too deep", Envelope("<u:A><X><Y>1</Y></X></u:A>")},
      {"deep garbage", deep},
      {"entity of its own", laughs},
      {"external entity", external},
      {"unknown entity", Envelope("<u:A><X>&nbsp;</X></u:A>")},
      {"forbidden character reference", Envelope("<u:A><X>&#0;</X></u:A>")},
      {"text outside the arguments", Envelope("<u:A>loose<X>1</X></u:A>")},
      {"a second root", Envelope("<u:A/>") + "<more/>"},
  };
  for (const auto& c : cases) EXPECT_FALSE(ReadSoapCall(c.body)) << c.what;
}

TEST(SoapReader, ReadsTheActionHeader) {
  EXPECT_EQ(ReadSoapActionHeader("\"urn:schemas-upnp-org:service:ContentDirectory:1#Browse\""),
            (std::pair<std::string, std::string>{"urn:schemas-upnp-org:service:ContentDirectory:1",
                                                 "Browse"}));
  EXPECT_EQ(ReadSoapActionHeader(" urn:x#Search "),
            (std::pair<std::string, std::string>{"urn:x", "Search"}));
  for (const char* bad : {"", "\"\"", "urn:x", "#Browse", "urn:x#"}) {
    EXPECT_FALSE(ReadSoapActionHeader(bad)) << bad;
  }
}

TEST(SoapWriter, AnswersAndFaultsReadBackAsTheyWereMeant) {
  const std::string answer = SoapAnswer("urn:x", "Browse", {{"Result", "<DIDL-Lite a=\"&\"/>"}});
  EXPECT_NE(answer.find("<u:BrowseResponse xmlns:u=\"urn:x\"><Result>&lt;DIDL-Lite a=&quot;&amp;"
                        "&quot;/&gt;</Result></u:BrowseResponse>"),
            std::string::npos)
      << answer;
  // The answer is itself a call-shaped envelope: reading it back gives the value sent.
  const auto back = ReadSoapCall(answer);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->action, "BrowseResponse");
  EXPECT_EQ(*back->Argument("Result"), "<DIDL-Lite a=\"&\"/>");

  const std::string fault = SoapFault(701, "No such <object>");
  EXPECT_NE(fault.find("<errorCode>701</errorCode><errorDescription>No such &lt;object&gt;"
                       "</errorDescription>"),
            std::string::npos)
      << fault;
}

}  // namespace
}  // namespace vidoria
