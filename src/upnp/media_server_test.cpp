// The device over real HTTP on loopback: descriptions and SOAP actions as a control point sends
// them (curl speaks for it). Discovery over multicast needs a network of its own and is tested
// end to end by tests/upnp/media_server_in_netns.sh.
#include "upnp/media_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <regex>
#include <thread>

#include "library/table_layouts.h"
#include "mp4/test_support.h"
#include "platform/command_output_for_tests.h"
#include "platform/temp_folder_for_tests.h"
#include "site/site_test_helpers.h"
#include "upnp/descriptions.h"
#include "upnp/device_icon.h"
#include "upnp/subscriptions.h"

namespace vidoria {
namespace {

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

// A subscriber's callback: takes NOTIFY requests on 127.0.0.1, answers each 200 and keeps them.
class EventListener {
 public:
  EventListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(fd_, 16);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~EventListener() {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/event"; }
  // The `n`th request received (from 0), waiting up to 10 s for it; "" when none came.
  std::string Request(size_t n) {
    std::unique_lock hold(lock_);
    arrived_.wait_for(hold, std::chrono::seconds(10), [&] { return requests_.size() > n; });
    return requests_.size() > n ? requests_[n] : std::string();
  }
  size_t Count() {
    std::lock_guard hold(lock_);
    return requests_.size();
  }

 private:
  void Serve() {
    while (true) {
      const int client = ::accept(fd_, nullptr, nullptr);
      if (client < 0) return;
      std::string text;
      char buffer[4096];
      size_t needed = std::string::npos;
      while (text.size() < needed) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
        const size_t end = text.find("\r\n\r\n");
        const size_t length = text.find("CONTENT-LENGTH: ");
        if (end != std::string::npos && length != std::string::npos) {
          needed = end + 4 + std::stoul(text.substr(length + 16));
        }
      }
      const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
      ::send(client, ok.data(), ok.size(), MSG_NOSIGNAL);
      ::close(client);
      {
        std::lock_guard hold(lock_);
        requests_.push_back(text);
      }
      arrived_.notify_all();
    }
  }
  int fd_ = -1;
  int port_ = 0;
  std::mutex lock_;
  std::condition_variable arrived_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

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
    const std::string out = CommandOutput(
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
  const std::string description = CommandOutput("curl -s -m 10 " + Quoted(Location()));
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
    CommandOutput("curl -s -m 10 -o " + Quoted(file) + " " + Quoted(url));
    EXPECT_EQ(
        CommandOutput("ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 " +
                      Quoted(file)),
        "png," + std::to_string(size) + "," + std::to_string(size) + "\n")
        << url;
  }
  for (std::string_view file : {kContentDirectoryFile, kConnectionManagerFile, kRegistrarFile}) {
    EXPECT_NE(CommandOutput("curl -s -m 10 " + base + "/" + std::string(file)).find("<actionList>"),
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

// The header `name` of an HTTP message, "" when absent.
std::string HeaderOf(const std::string& message, const std::string& name) {
  const std::string value = Between(message, "\n" + name + ": ", "\r");
  return value;
}

TEST_F(MediaServerTest, SubscribersHearTheUpdateIdAtOnceAndWhenItMoves) {
  EventListener listener;
  const std::string eventUrl =
      ControlUrl("ContentDirectory").substr(0, ControlUrl("ContentDirectory").rfind('/')) +
      "/event";
  const auto subscribe = [&](const std::string& headers) {
    return CommandOutput("curl -s -m 10 -o /dev/null -D - -X SUBSCRIBE " + headers + " " +
                         Quoted(eventUrl) + " | tr -d '\\r'");
  };
  const std::string answer = subscribe("-H " + Quoted("CALLBACK: <" + listener.Url() + ">") +
                                       " -H 'NT: upnp:event' -H 'TIMEOUT: Second-300'");
  ASSERT_TRUE(answer.starts_with("HTTP/1.1 200")) << answer;
  const std::string sid = Between(answer, "SID: ", "\n");
  EXPECT_TRUE(sid.starts_with("uuid:")) << answer;
  EXPECT_NE(answer.find("TIMEOUT: Second-300"), std::string::npos) << answer;

  // The first event says the id now, with sequence 0.
  const std::string first = listener.Request(0);
  EXPECT_TRUE(first.starts_with("NOTIFY /event HTTP/1.1\r\n")) << first;
  EXPECT_EQ(HeaderOf(first, "SID"), sid);
  EXPECT_EQ(HeaderOf(first, "SEQ"), "0");
  EXPECT_EQ(HeaderOf(first, "NT"), "upnp:event");
  EXPECT_EQ(HeaderOf(first, "NTS"), "upnp:propchange");
  const std::string id =
      Between(Action("ContentDirectory", "GetSystemUpdateID", "").second, "<Id>", "</Id>");
  EXPECT_NE(first.find("<SystemUpdateID>" + id + "</SystemUpdateID>"), std::string::npos) << first;

  // A generation that changes nothing a TV sees sends nothing; one that does, the new id.
  library_.Publish(LibraryView(*library_.Current()));
  ++generation_;
  server_->SiteChanged();
  library_.Publish(LibraryView());
  ++generation_;
  server_->SiteChanged();
  const std::string second = listener.Request(1);
  EXPECT_EQ(HeaderOf(second, "SEQ"), "1") << second;
  EXPECT_NE(
      second.find("<SystemUpdateID>" + std::to_string(std::stoul(id) + 1) + "</SystemUpdateID>"),
      std::string::npos)
      << second;

  // Renewal, refusals, and the end of the subscription.
  EXPECT_TRUE(subscribe("-H " + Quoted("SID: " + sid)).starts_with("HTTP/1.1 200"));
  const struct {
    const char* what;
    std::string headers;
    const char* status;
  } refusals[] = {
      {"unknown SID", "-H 'SID: uuid:00000000-0000-4000-8000-000000000000'", "412"},
      {"SID with a callback", "-H " + Quoted("SID: " + sid) + " -H 'NT: upnp:event'", "400"},
      {"no NT", "-H " + Quoted("CALLBACK: <" + listener.Url() + ">"), "412"},
      {"no callback", "-H 'NT: upnp:event'", "412"},
      {"a callback on another host",
       "-H 'CALLBACK: <http://127.0.0.2:9/event>' -H 'NT: upnp:event'", "412"},
      {"a callback by name", "-H 'CALLBACK: <http://localhost:9/event>' -H 'NT: upnp:event'",
       "412"},
  };
  for (const auto& refusal : refusals) {
    EXPECT_TRUE(subscribe(refusal.headers).starts_with(std::string("HTTP/1.1 ") + refusal.status))
        << refusal.what;
  }
  const auto unsubscribe = [&](const std::string& subscription) {
    return CommandOutput("curl -s -m 10 -o /dev/null -w '%{http_code}' -X UNSUBSCRIBE -H " +
                         Quoted("SID: " + subscription) + " " + Quoted(eventUrl));
  };
  EXPECT_EQ(unsubscribe(sid), "200");
  EXPECT_EQ(unsubscribe(sid), "412");
  library_.Publish(LibraryView(*library_.Current()));
  ++generation_;
  server_->SiteChanged();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(listener.Count(), 2u) << "nothing after the end";
}

TEST_F(MediaServerTest, AConnectionStaysOpenForTheNextRequestAndClosesWithItsClient) {
  // Three requests on one connection (curl reuses it), then the client goes: the server's end
  // must not linger in CLOSE-WAIT.
  const std::string location = Location();
  const std::string base = location.substr(0, location.find('/', 7));
  const std::string out = CommandOutput(
      "curl -s -m 10 -o /dev/null -o /dev/null -o /dev/null -w '%{num_connects}\\n' " +
      Quoted(location) + " " + Quoted(base + "/ContentDirectory.xml") + " " +
      Quoted(base + "/icon-48.png"));
  EXPECT_EQ(out, "1\n0\n0\n") << "one connection for the three";
  const std::string port = base.substr(base.rfind(':') + 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::string lingering;
  do {
    lingering = CommandOutput("ss -tanH state close-wait '( sport = :" + port + " )'");
    if (lingering.empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < deadline);
  EXPECT_EQ(lingering, "");
}

TEST_F(MediaServerTest, TheOldVariableQueryAnswersEventedVariables) {
  const std::string body =
      "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/"
      "envelope/\"><s:Body><u:QueryStateVariable xmlns:u=\"urn:schemas-upnp-org:control-1-0\">"
      "<u:varName>SourceProtocolInfo</u:varName></u:QueryStateVariable></s:Body></s:Envelope>";
  const std::string out = CommandOutput(
      "curl -s -m 10 -H 'SOAPAction: \"urn:schemas-upnp-org:control-1-0#QueryStateVariable\"' "
      "--data-binary " +
      Quoted(body) + " " + Quoted(ControlUrl("ConnectionManager")));
  EXPECT_EQ(Between(out, "<return>", "</return>"), "http-get:*:video/mp4:*") << out;
}

TEST_F(MediaServerTest, StoppingTakesTheDeviceOffTheNetwork) {
  const std::string location = Location();
  server_.reset();
  EXPECT_EQ(CommandOutput("curl -s -m 10 -o /dev/null -w '%{http_code}' " + Quoted(location)),
            "000");
}

}  // namespace
}  // namespace vidoria
