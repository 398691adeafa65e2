// The device over real HTTP on loopback: descriptions and SOAP actions as a control point sends
// them (curl speaks for it). Discovery over multicast needs a network of its own and is tested
// end to end by tests/upnp/media_server_in_netns.sh.
#include "upnp/media_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <regex>
#include <thread>

#include "library/table_layouts.h"
#include "mp4/test_support.h"
#include "platform/temp_folder_for_tests.h"
#include "site/site_test_helpers.h"
#include "upnp/descriptions.h"
#include "upnp/device_icon.h"

namespace vidoria {
namespace {

// What a shell command printed.
std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Unescaped(std::string text) {
  for (const auto& [from, to] :
       {std::pair{"&lt;", "<"}, std::pair{"&gt;", ">"}, std::pair{"&quot;", "\""},
        std::pair{"&apos;", "'"}, std::pair{"&amp;", "&"}}) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1)) {
      text.replace(at, std::strlen(from), to);
    }
  }
  return text;
}

std::string Between(const std::string& text, const std::string& open, const std::string& close) {
  const size_t start = text.find(open);
  if (start == std::string::npos) return {};
  const size_t end = text.find(close, start + open.size());
  return end == std::string::npos ? std::string()
                                  : text.substr(start + open.size(), end - start - open.size());
}

class MediaServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string video = temp_.Write("Tom & Jerry <1>.mp4", "twelve bytes");
    LibraryView view;
    view.libraryTable = testing::TableOf({{"MOVIE", video, "Tom & Jerry <1>.mp4"}});
    view.playlistTable = testing::TableOf({{"Kids & <co>", "", "Tom & Jerry <1>.mp4"}});
    library_.Publish(std::move(view));
    Start();
  }

  void Start() {
    MediaServerOptions options;
    options.friendlyName = FriendlyName("host & <co>");
    options.uuid = "0b1c6a0e-5b7d-4c2a-9e11-0d4b8c7a6f52";
    options.mediaPort = 8123;
    options.library = [this] { return library_.Current(); };
    options.listingAllowed = [this] { return listingAllowed_.load(); };
    options.siteGeneration = &generation_;
    options.mediaFacts = &facts_;
    options.includeLoopback = true;
    server_ = std::make_unique<MediaServer>(std::move(options));
    // The device comes up when the context manager finds the interface, a moment after start.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Location().empty() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_FALSE(Location().empty()) << "no device on the loopback device";
  }

  // The description's address on 127.0.0.1.
  std::string Location() const {
    for (const std::string& url : server_->DescriptionUrls()) {
      if (url.starts_with("http://127.0.0.1:")) return url;
    }
    return {};
  }

  std::string ControlUrl(const std::string& service) const {
    const std::string location = Location();
    return location.substr(0, location.find('/', 7)) + "/" + service + "/control";
  }

  // The HTTP status line's code and the body of a SOAP request.
  static std::string TypeOf(const std::string& service) {
    return service.starts_with("X_MS_") ? "urn:microsoft.com:service:" + service + ":1"
                                        : "urn:schemas-upnp-org:service:" + service + ":1";
  }

  std::pair<std::string, std::string> Soap(const std::string& service, const std::string& action,
                                           const std::string& body) {
    const std::string type = TypeOf(service);
    const std::string out = Output(
        "curl -s -m 10 -w '\\n%{http_code}' -H 'Content-Type: text/xml; charset=\"utf-8\"' -H " +
        Quoted("SOAPAction: \"" + type + "#" + action + "\"") + " --data-binary " + Quoted(body) +
        " " + Quoted(ControlUrl(service)));
    const size_t last = out.rfind('\n');
    if (last == std::string::npos) return {"", out};
    return {out.substr(last + 1), out.substr(0, last)};
  }

  std::pair<std::string, std::string> Action(const std::string& service, const std::string& action,
                                             const std::string& arguments) {
    const std::string type = TypeOf(service);
    return Soap(service, action,
                "<?xml version=\"1.0\"?><s:Envelope "
                "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body><u:" +
                    action + " xmlns:u=\"" + type + "\">" + arguments + "</u:" + action +
                    "></s:Body></s:Envelope>");
  }

  std::pair<std::string, std::string> BrowseChildren(const std::string& id,
                                                     const std::string& start = "0",
                                                     const std::string& count = "0") {
    return Action("ContentDirectory", "Browse",
                  "<ObjectID>" + id +
                      "</ObjectID><BrowseFlag>BrowseDirectChildren</BrowseFlag><Filter>*</"
                      "Filter><StartingIndex>" +
                      start + "</StartingIndex><RequestedCount>" + count +
                      "</RequestedCount><SortCriteria></SortCriteria>");
  }

  TempFolder temp_;
  LibraryViewHolder library_;
  std::atomic<bool> listingAllowed_{true};
  std::atomic<uint32_t> generation_{1};
  MediaFactsCache facts_;
  std::unique_ptr<MediaServer> server_;
};

TEST_F(MediaServerTest, DescriptionNamesTheDeviceAndItsServices) {
  const std::string description = Output("curl -s -m 10 " + Quoted(Location()));
  EXPECT_NE(description.find("<friendlyName>Vidoria on host &amp; &lt;co&gt;</friendlyName>"),
            std::string::npos)
      << description;
  EXPECT_NE(description.find("<UDN>uuid:0b1c6a0e-5b7d-4c2a-9e11-0d4b8c7a6f52</UDN>"),
            std::string::npos);
  EXPECT_NE(description.find(std::string(kMediaServerType)), std::string::npos);
  const std::string base = Location().substr(0, Location().find('/', 7));
  EXPECT_NE(description.find(std::string(kRegistrarType)), std::string::npos);
  // The icons, as a TV would show them: ffprobe reads each as a PNG picture of its size.
  for (const int size : kIconSizes) {
    const std::string url = base + "/" + IconFileName(size);
    EXPECT_NE(description.find("<url>/" + IconFileName(size) + "</url>"), std::string::npos);
    const std::string file = temp_.Path() + IconFileName(size);
    Output("curl -s -m 10 -o " + Quoted(file) + " " + Quoted(url));
    EXPECT_EQ(Output("ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 " +
                     Quoted(file)),
              "png," + std::to_string(size) + "," + std::to_string(size) + "\n")
        << url;
  }
  for (std::string_view file : {kContentDirectoryFile, kConnectionManagerFile, kRegistrarFile}) {
    EXPECT_NE(Output("curl -s -m 10 " + base + "/" + std::string(file)).find("<actionList>"),
              std::string::npos)
        << file;
  }
}

TEST_F(MediaServerTest, BrowseListsItemsWithLinksToTheWebServer) {
  const auto [status, body] = BrowseChildren("library/all");
  ASSERT_EQ(status, "200") << body;
  const std::string didl = Unescaped(Between(body, "<Result>", "</Result>"));
  EXPECT_NE(didl.find("<dc:title>Tom &amp; Jerry &lt;1&gt;</dc:title>"), std::string::npos) << didl;
  EXPECT_NE(didl.find("size=\"12\">http://127.0.0.1:8123/Tom%20%26%20Jerry%20%3C1%3E.mp4</res>"),
            std::string::npos)
      << didl;
  EXPECT_EQ(Between(body, "<NumberReturned>", "</NumberReturned>"), "1");
  EXPECT_EQ(Between(body, "<TotalMatches>", "</TotalMatches>"), "1");
  EXPECT_EQ(Between(body, "<UpdateID>", "</UpdateID>"),
            Between(Action("ContentDirectory", "GetSystemUpdateID", "").second, "<Id>", "</Id>"));

  const auto [playlistsStatus, playlists] = BrowseChildren("playlists");
  EXPECT_NE(Unescaped(Between(playlists, "<Result>", "</Result>"))
                .find("<dc:title>Kids &amp; &lt;co&gt;</dc:title>"),
            std::string::npos)
      << playlists;
}

TEST_F(MediaServerTest, BadRequestsGetFaultsAndTheServerGoesOn) {
  struct Case {
    std::string body;
    std::string code;  // in the UPnPError, "" for any fault
  } cases[] = {
      {"", ""},
      {"<not xml", ""},
      {"<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/"
       "envelope/\"><s:Body></s:Body></s:Envelope>",
       ""},
  };
  for (const Case& c : cases) {
    const auto [status, body] = Soap("ContentDirectory", "Browse", c.body);
    EXPECT_TRUE(status.starts_with("4") || status.starts_with("5")) << status << " " << body;
  }
  const auto [unknownStatus, unknown] = BrowseChildren("no/such/thing");
  EXPECT_EQ(unknownStatus, "500");
  EXPECT_NE(unknown.find("<errorCode>701</errorCode>"), std::string::npos) << unknown;
  const auto [hugeStatus, huge] = BrowseChildren("library/all", "0", "99999999999");
  EXPECT_NE(huge.find("<errorCode>402</errorCode>"), std::string::npos) << huge;
  const auto [missingStatus, missing] =
      Action("ContentDirectory", "Browse", "<ObjectID>0</ObjectID>");
  EXPECT_NE(missing.find("<errorCode>402</errorCode>"), std::string::npos) << missing;
  // Still serving.
  EXPECT_EQ(BrowseChildren("0").first, "200");
}

TEST_F(MediaServerTest, NothingIsListedWhileTheListingIsProtected) {
  listingAllowed_ = false;
  for (const char* id : {"0", "library/all", "playlists"}) {
    const auto [status, body] = BrowseChildren(id);
    EXPECT_EQ(status, "200");
    EXPECT_EQ(Between(body, "<NumberReturned>", "</NumberReturned>"), "0") << id;
    EXPECT_EQ(Unescaped(Between(body, "<Result>", "</Result>")).find("<item"), std::string::npos);
  }
}

TEST_F(MediaServerTest, SystemUpdateIdMovesOnlyWhenWhatATvSeesChanged) {
  auto updateId = [this] {
    return std::stoul(
        Between(Action("ContentDirectory", "GetSystemUpdateID", "").second, "<Id>", "</Id>"));
  };
  const unsigned long first = updateId();
  // The site generated again from the same tables, as a rescan that found nothing new does.
  library_.Publish(LibraryView(*library_.Current()));
  ++generation_;
  server_->SiteChanged();
  EXPECT_EQ(updateId(), first);
  library_.Publish(LibraryView());
  ++generation_;
  server_->SiteChanged();
  EXPECT_EQ(updateId(), first + 1);
  EXPECT_EQ(Between(BrowseChildren("library/all").second, "<TotalMatches>", "</TotalMatches>"),
            "0");
}

TEST_F(MediaServerTest, ConnectionManagerOffersMp4Video) {
  const auto [status, body] = Action("ConnectionManager", "GetProtocolInfo", "");
  EXPECT_EQ(status, "200");
  EXPECT_EQ(Between(body, "<Source>", "</Source>"), "http-get:*:video/mp4:*");
}

TEST_F(MediaServerTest, RegistrarAuthorisesAndValidatesEveryDevice) {
  const std::string registrar = "X_MS_MediaReceiverRegistrar";
  for (const char* action : {"IsAuthorized", "IsValidated"}) {
    const auto [status, body] = Action(registrar, action, "<DeviceID></DeviceID>");
    EXPECT_EQ(status, "200") << action << body;
    EXPECT_EQ(Between(body, "<Result>", "</Result>"), "1") << action;
  }
  const auto [status, body] =
      Action(registrar, "RegisterDevice", "<RegistrationReqMsg>AAAA</RegistrationReqMsg>");
  EXPECT_EQ(status, "200") << body;
  EXPECT_NE(body.find("RegisterDeviceResponse"), std::string::npos) << body;
}

TEST_F(MediaServerTest, SamsungsFeatureListPointsAtTheEntireCollection) {
  const auto [status, body] = Action("ContentDirectory", "X_GetFeatureList", "");
  EXPECT_EQ(status, "200") << body;
  const std::string list = Unescaped(Between(body, "<FeatureList>", "</FeatureList>"));
  EXPECT_NE(list.find("<container id=\"library/all\" type=\"object.item.videoItem\"/>"),
            std::string::npos)
      << list;
  // The container it names is one a TV can browse.
  EXPECT_EQ(BrowseChildren("library/all").first, "200");
}

TEST_F(MediaServerTest, TheListedVideosFactsAreReadBeforeATvAsks) {
  // A movie box with only its header (version 0): time scale 1000 in bytes 12-15, duration 3000
  // in bytes 16-19.
  std::string mvhd(100, '\0');
  mvhd[14] = '\x03', mvhd[15] = '\xE8', mvhd[18] = '\x0B', mvhd[19] = '\xB8';
  using mp4::test_support::MakeBox;
  const std::string video = temp_.Write("clip.mp4", mp4::test_support::MakeFtyp() +
                                                        MakeBox("moov", MakeBox("mvhd", mvhd)) +
                                                        MakeBox("mdat", "media"));
  LibraryView view;
  view.libraryTable = testing::TableOf({{"MOVIE", video, "clip.mp4"}});
  library_.Publish(std::move(view));
  ++generation_;
  server_->SiteChanged();
  // No Browse: the server reads them while it is idle.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!facts_.Known(video) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_NE(facts_.Known(video), nullptr);
  EXPECT_EQ(facts_.Known(video)->durationMs, 3000u);
}

TEST_F(MediaServerTest, ABookmarkATvSetsComesBackWithTheVideo) {
  const auto didl = [this] {
    return Unescaped(Between(BrowseChildren("library/all").second, "<Result>", "</Result>"));
  };
  const std::string id = Between(didl(), "<item id=\"", "\"");
  ASSERT_FALSE(id.empty());
  const auto mark = [&](const std::string& objectId, const std::string& seconds) {
    return Action("ContentDirectory", "X_SetBookmark",
                  "<CategoryType>1</CategoryType><RID>0</RID><ObjectID>" + objectId +
                      "</ObjectID><PosSecond>" + seconds + "</PosSecond>");
  };
  EXPECT_EQ(mark(id, "754").first, "200");
  EXPECT_NE(didl().find("<sec:dcmInfo>BM=754</sec:dcmInfo>"), std::string::npos) << didl();
  EXPECT_EQ(Between(mark("library/all/nothing", "1").second, "<errorCode>", "</errorCode>"), "701");
  EXPECT_EQ(Between(mark(id, "soon").second, "<errorCode>", "</errorCode>"), "402");
  EXPECT_EQ(mark(id, "0").first, "200");
  EXPECT_EQ(didl().find("dcmInfo"), std::string::npos) << "watched to the end: forgotten";
}

TEST_F(MediaServerTest, StoppingTakesTheDeviceOffTheNetwork) {
  const std::string location = Location();
  server_.reset();
  EXPECT_EQ(Output("curl -s -m 10 -o /dev/null -w '%{http_code}' " + Quoted(location)), "000");
}

}  // namespace
}  // namespace vidoria
