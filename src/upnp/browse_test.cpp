#include "upnp/browse.h"

#include <gtest/gtest.h>
#include <libgupnp-av/gupnp-av.h>

#include <cstdlib>

#include "mp4/test_support.h"
#include "site/site_test_helpers.h"
#include "upnp/didl.h"
#include "upnp/object_ids.h"
#include "web/host_roots.h"

namespace vidoria {
namespace {

using testing::TableOf;

constexpr std::string_view kBase = "http://127.0.0.2:8080";

// One DIDL-Lite object as gupnp-av's parser (what many control points use) reads it back.
struct ParsedObject {
  bool container = false;
  std::string id, parentId, title, upnpClass, albumArt;
  std::vector<std::string> otherResources;  // "<mime type> <uri>" after the first
  int childCount = -1;
  std::string uri, mimeType, dlnaProfile;
  int64_t size = -1;
  long duration = -1;  // seconds
  int width = -1, height = -1, bitrate = -1, channels = -1, sampleFrequency = -1;
  bool byteSeek = false;
};

std::vector<ParsedObject> ParseDidl(const std::string& didl) {
  std::vector<ParsedObject> objects;
  // The parser refuses a document without objects, which is what an empty listing is.
  if (didl.find("<item") == std::string::npos && didl.find("<container") == std::string::npos) {
    EXPECT_TRUE(didl.starts_with("<DIDL-Lite ") && didl.ends_with("></DIDL-Lite>")) << didl;
    return objects;
  }
  GUPnPDIDLLiteParser* parser = gupnp_didl_lite_parser_new();
  auto onObject = +[](GUPnPDIDLLiteParser*, GUPnPDIDLLiteObject* object, gpointer data) {
    ParsedObject parsed;
    auto text = [](const char* value) { return value ? std::string(value) : std::string(); };
    parsed.container = GUPNP_IS_DIDL_LITE_CONTAINER(object);
    parsed.id = text(gupnp_didl_lite_object_get_id(object));
    parsed.parentId = text(gupnp_didl_lite_object_get_parent_id(object));
    parsed.title = text(gupnp_didl_lite_object_get_title(object));
    parsed.upnpClass = text(gupnp_didl_lite_object_get_upnp_class(object));
    parsed.albumArt = text(gupnp_didl_lite_object_get_album_art(object));
    if (parsed.container) {
      parsed.childCount =
          gupnp_didl_lite_container_get_child_count(GUPNP_DIDL_LITE_CONTAINER(object));
    }
    GList* resources = gupnp_didl_lite_object_get_resources(object);
    if (resources) {
      auto* resource = GUPNP_DIDL_LITE_RESOURCE(resources->data);
      parsed.uri = text(gupnp_didl_lite_resource_get_uri(resource));
      parsed.size = gupnp_didl_lite_resource_get_size64(resource);
      GUPnPProtocolInfo* info = gupnp_didl_lite_resource_get_protocol_info(resource);
      parsed.mimeType = text(gupnp_protocol_info_get_mime_type(info));
      parsed.dlnaProfile = text(gupnp_protocol_info_get_dlna_profile(info));
      parsed.byteSeek = (gupnp_protocol_info_get_dlna_operation(info) & GUPNP_DLNA_OPERATION_RANGE);
      parsed.duration = gupnp_didl_lite_resource_get_duration(resource);
      parsed.width = gupnp_didl_lite_resource_get_width(resource);
      parsed.height = gupnp_didl_lite_resource_get_height(resource);
      parsed.bitrate = gupnp_didl_lite_resource_get_bitrate(resource);
      parsed.channels = gupnp_didl_lite_resource_get_audio_channels(resource);
      parsed.sampleFrequency = gupnp_didl_lite_resource_get_sample_freq(resource);
    }
    for (GList* other = resources ? resources->next : nullptr; other; other = other->next) {
      auto* resource = GUPNP_DIDL_LITE_RESOURCE(other->data);
      parsed.otherResources.push_back(text(gupnp_protocol_info_get_mime_type(
                                          gupnp_didl_lite_resource_get_protocol_info(resource))) +
                                      " " + text(gupnp_didl_lite_resource_get_uri(resource)));
    }
    g_list_free_full(resources, g_object_unref);
    static_cast<std::vector<ParsedObject>*>(data)->push_back(std::move(parsed));
  };
  g_signal_connect(parser, "object-available", G_CALLBACK(onObject), &objects);
  GError* error = nullptr;
  const bool parsed = gupnp_didl_lite_parser_parse_didl(parser, didl.c_str(), &error);
  EXPECT_TRUE(parsed) << (error ? error->message : "") << "\n" << didl;
  if (error) g_error_free(error);
  g_object_unref(parser);
  return objects;
}

MediaTree TreeOf(const Table& library, const Table& playlists) {
  return MediaTree(library, playlists, [](const std::string& path) -> std::optional<int64_t> {
    if (path.ends_with(".jpg") && !path.ends_with("cover.jpg")) return std::nullopt;
    // Only Tom & Jerry has subtitles beside it.
    if (path.ends_with(".srt") && path.find("Tom & Jerry") == std::string::npos) {
      return std::nullopt;
    }
    return 1000 + static_cast<int64_t>(path.size());
  });
}

BrowseAnswer Children(const MediaTree& tree, std::string id, std::string start = "0",
                      std::string count = "0") {
  return Browse(tree, {std::move(id), "BrowseDirectChildren", std::move(start), std::move(count)},
                kBase);
}

TEST(BrowseTest, ItemsReadBackWithTheirTitleLinkSizeTypeAndCover) {
  // Names a TV must show as they are: markup characters, non-ASCII letters, and one byte that
  // is no UTF-8 at all.
  const Table library = TableOf({{"MOVIE", "/v/Tom & Jerry <1>.mp4", "Tom & Jerry <1>.mp4"},
                                 {"TV", "/w/Amélie \"l'été\".mp4", "Amélie \"l'été\".mp4"},
                                 {"TV", "/w/bad\xff.mp4", "bad\xff.mp4"}});
  const Table playlists = TableOf({{"Kids & <co>", "", "Tom & Jerry <1>.mp4"}});
  const MediaTree tree = TreeOf(library, playlists);
  // cover.jpg exists in every folder for the fake file system above.
  const BrowseAnswer answer = Children(tree, "library/all");
  ASSERT_EQ(answer.error, 0u);
  EXPECT_EQ(answer.numberReturned, 3u);
  EXPECT_EQ(answer.totalMatches, 3u);
  const std::vector<ParsedObject> items = ParseDidl(answer.result);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].title, "Amélie \"l'été\"");
  EXPECT_EQ(items[0].uri, std::string(kBase) + "/Am%C3%A9lie%20%22l%27%C3%A9t%C3%A9%22.mp4");
  EXPECT_EQ(items[1].title, "bad\xEF\xBF\xBD");
  EXPECT_EQ(items[2].id, "library/all/" + HashKey("/v/Tom & Jerry <1>.mp4"));
  EXPECT_EQ(items[2].parentId, "library/all");
  EXPECT_EQ(items[2].title, "Tom & Jerry <1>");
  EXPECT_EQ(items[2].upnpClass, "object.item.videoItem");
  EXPECT_EQ(items[2].uri, std::string(kBase) + "/Tom%20%26%20Jerry%20%3C1%3E.mp4");
  EXPECT_EQ(items[2].mimeType, "video/mp4");
  EXPECT_EQ(items[2].size,
            1000 + static_cast<int64_t>(std::string("/v/Tom & Jerry <1>.mp4").size()));
  EXPECT_EQ(items[2].albumArt, std::string(kBase) + "/Tom%20%26%20Jerry%20%3C1%3E.jpg");
  // Its subtitles as a second resource, after the video a player takes first; Samsung's own
  // element names them too.
  EXPECT_EQ(items[2].otherResources, std::vector<std::string>{"text/srt " + std::string(kBase) +
                                                              "/Tom%20%26%20Jerry%20%3C1%3E.srt"});
  EXPECT_NE(answer.result.find("<sec:CaptionInfoEx sec:type=\"srt\">" + std::string(kBase) +
                               "/Tom%20%26%20Jerry%20%3C1%3E.srt</sec:CaptionInfoEx>"),
            std::string::npos);
  EXPECT_TRUE(items[0].otherResources.empty());

  const std::vector<ParsedObject> playlist = ParseDidl(Children(tree, "playlists").result);
  ASSERT_EQ(playlist.size(), 1u);
  EXPECT_TRUE(playlist[0].container);
  EXPECT_EQ(playlist[0].title, "Kids & <co>");
  EXPECT_EQ(playlist[0].childCount, 1);
}

// A real H.264 + AAC file from ffmpeg, listed with what its movie box says, as a control point
// reads it back.
TEST(BrowseTest, ARealVideoReadsBackWithItsDurationPictureSoundAndProfile) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
  mp4::test_support::TempFolder folder;
  const std::string path = folder / "clip.mp4";
  const std::string make =
      "ffmpeg -v error -y -f lavfi -i testsrc=duration=3.5:size=352x288:rate=25 -f lavfi -i "
      "sine=duration=3.5 -c:v libx264 -pix_fmt yuv420p -profile:v main -preset veryfast -c:a aac "
      "-ac 2 -ar 44100 '" +
      path + "'";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const MediaTree tree(TableOf({{"MOVIE", path, "clip.mp4"}}), Table(4, 1),
                       [](const std::string& p) -> std::optional<int64_t> {
                         const int64_t size = FileSizeOf(p);
                         return size < 0 ? std::nullopt : std::optional<int64_t>(size);
                       });
  MediaFactsCache facts;
  const auto items = ParseDidl(
      Browse(tree, {"library/all", "BrowseDirectChildren", "0", "0"}, kBase, &facts).result);
  ASSERT_EQ(items.size(), 1u);
  const ParsedObject& item = items[0];
  EXPECT_EQ(item.size, FileSizeOf(path));
  EXPECT_EQ(item.duration, 3);
  EXPECT_EQ(item.width, 352);
  EXPECT_EQ(item.height, 288);
  EXPECT_EQ(item.channels, 2);
  EXPECT_EQ(item.sampleFrequency, 44100);
  EXPECT_EQ(item.bitrate, FileSizeOf(path) * 1000 / facts.Known(path)->durationMs);
  EXPECT_NEAR(facts.Known(path)->durationMs, 3500, 50);
  EXPECT_EQ(item.dlnaProfile, "AVC_MP4_MP_SD_AAC_MULT5");
  EXPECT_TRUE(item.byteSeek);
  EXPECT_EQ(item.mimeType, "video/mp4");
}

TEST(SearchTest, FindsEachVideoOnceBelowTheContainerAndPagesLikeBrowse) {
  const Table library = TableOf({{"MOVIE", "/v/Alpha.mp4", "Alpha.mp4"},
                                 {"TV", "/v/Beta show.mp4", "Beta show.mp4"},
                                 {"MOVIE", "/v/Gamma.mp4", "Gamma.mp4"}});
  const Table playlists = TableOf({{"Mix", "", "Gamma.mp4", "Alpha.mp4"}});
  const MediaTree tree = TreeOf(library, playlists);
  const auto titles = [&tree](const std::string& container, const std::string& criteria,
                              const std::string& start = "0", const std::string& count = "0") {
    const BrowseAnswer answer = Search(tree, {container, criteria, start, count}, kBase);
    EXPECT_EQ(answer.error, 0u) << criteria;
    std::vector<std::string> found;
    for (const ParsedObject& object : ParseDidl(answer.result)) found.push_back(object.title);
    EXPECT_EQ(answer.numberReturned, found.size());
    return std::pair{found, answer.totalMatches};
  };
  const std::string videos = "upnp:class derivedfrom \"object.item.videoItem\"";
  using Titles = std::vector<std::string>;
  EXPECT_EQ(titles("0", videos), (std::pair{Titles{"Alpha", "Beta show", "Gamma"}, 3u}));
  EXPECT_EQ(titles("library/tvshows", videos), (std::pair{Titles{"Beta show"}, 1u}));
  EXPECT_EQ(titles("playlists", videos), (std::pair{Titles{"Alpha", "Gamma"}, 2u}));
  EXPECT_EQ(titles("0", videos + " and dc:title contains \"SHOW\""),
            (std::pair{Titles{"Beta show"}, 1u}));
  EXPECT_EQ(titles("0", videos, "1", "1"), (std::pair{Titles{"Beta show"}, 3u}));
  EXPECT_EQ(titles("library", "upnp:class derivedfrom \"object.container\""),
            (std::pair{Titles{"Entire collection", "Movies", "TV Shows"}, 3u}));

  struct Case {
    SearchArguments arguments;
    unsigned error;
  } cases[] = {
      {{"0", "dc:title contains", "0", "0"}, kInvalidSearchCriteria},
      {{"nowhere", "*", "0", "0"}, kNoSuchObject},
      {{"library/all/" + HashKey("/v/Alpha.mp4"), "*", "0", "0"}, kNoSuchContainer},
      {{"0", "*", "-1", "0"}, kInvalidArgs},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Search(tree, c.arguments, kBase).error, c.error) << c.arguments.containerId;
  }
}

TEST(BrowseTest, MetadataDescribesTheObjectItself) {
  const MediaTree tree = TreeOf(TableOf({{"MOVIE", "/v/a.mp4", "a.mp4"}}), Table(4, 1));
  struct Case {
    std::string id;
    const char* parentId;
    const char* title;
    int childCount;
  } cases[] = {{"0", "-1", "Vidoria", 2},
               {"library", "0", "Library", 3},
               {"library/movies", "library", "Movies", 1},
               {"playlists", "0", "Playlists", 0},
               {"library/movies/" + HashKey("/v/a.mp4"), "library/movies", "a", -1}};
  for (const Case& c : cases) {
    const BrowseAnswer answer = Browse(tree, {c.id, "BrowseMetadata", "0", "0"}, kBase);
    ASSERT_EQ(answer.error, 0u) << c.id;
    EXPECT_EQ(answer.numberReturned, 1u);
    EXPECT_EQ(answer.totalMatches, 1u);
    const auto objects = ParseDidl(answer.result);
    ASSERT_EQ(objects.size(), 1u) << c.id;
    EXPECT_EQ(objects[0].id, c.id);
    EXPECT_EQ(objects[0].parentId, c.parentId);
    EXPECT_EQ(objects[0].title, c.title);
    EXPECT_EQ(objects[0].childCount, c.childCount) << c.id;
  }
}

TEST(BrowseTest, PagesThroughAContainerAndCapsHugeCounts) {
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < 620; ++i) {
    const std::string name = "clip" + std::to_string(1000 + i) + ".mp4";
    rows.push_back({"MOVIE", "/v/" + name, name});
  }
  const MediaTree tree = TreeOf(TableOf(rows), Table(4, 1));
  struct Case {
    const char* start;
    const char* count;
    uint32_t returned;
    int first;  // the index of the first item returned, -1 for none
  } cases[] = {{"0", "10", 10, 0},
               {"615", "10", 5, 615},
               {"620", "10", 0, -1},
               {"4294967295", "1", 0, -1},
               {"0", "0", kMaxBrowseCount, 0},
               {"100", "4294967295", kMaxBrowseCount, 100},
               {" 7 ", "1", 1, 7}};
  const MediaContainer& all = *tree.Container("library/all");
  for (const Case& c : cases) {
    const BrowseAnswer answer = Children(tree, "library/all", c.start, c.count);
    ASSERT_EQ(answer.error, 0u) << c.start;
    EXPECT_EQ(answer.totalMatches, 620u);
    EXPECT_EQ(answer.numberReturned, c.returned) << c.start << " " << c.count;
    const auto objects = ParseDidl(answer.result);
    ASSERT_EQ(objects.size(), c.returned);
    if (c.first >= 0) {
      EXPECT_EQ(objects.front().id, MediaTree::ItemId(all, static_cast<size_t>(c.first)));
      EXPECT_EQ(objects.front().title, "clip" + std::to_string(1000 + c.first));
    }
  }
  // Containers come first in a listing, then items, across pages alike.
  const BrowseAnswer root = Children(tree, "0", "1", "5");
  EXPECT_EQ(root.numberReturned, 1u);
  EXPECT_EQ(ParseDidl(root.result).at(0).id, "playlists");
}

TEST(BrowseTest, BadRequestsGetTheirUpnpError) {
  const MediaTree tree = TreeOf(TableOf({{"MOVIE", "/v/a.mp4", "a.mp4"}}), Table(4, 1));
  struct Case {
    BrowseArguments arguments;
    unsigned error;
  } cases[] = {
      {{"nowhere", "BrowseDirectChildren", "0", "0"}, kNoSuchObject},
      {{"library/all/1", "BrowseMetadata", "0", "0"}, kNoSuchObject},
      {{"", "BrowseMetadata", "0", "0"}, kNoSuchObject},
      {{"library/all/" + HashKey("/v/a.mp4"), "BrowseDirectChildren", "0", "0"}, kNoSuchContainer},
      {{"0", "BrowseEverything", "0", "0"}, kInvalidArgs},
      {{"0", "", "0", "0"}, kInvalidArgs},
      {{"0", "BrowseDirectChildren", "-1", "0"}, kInvalidArgs},
      {{"0", "BrowseDirectChildren", "0", "4294967296"}, kInvalidArgs},
      {{"0", "BrowseDirectChildren", "0", "ten"}, kInvalidArgs},
      {{"0", "BrowseDirectChildren", "", "0"}, kInvalidArgs},
      {{"0", "BrowseDirectChildren", "0x10", "0"}, kInvalidArgs},
  };
  for (const Case& c : cases) {
    const BrowseAnswer answer = Browse(tree, c.arguments, kBase);
    EXPECT_EQ(answer.error, c.error)
        << c.arguments.objectId << " " << c.arguments.browseFlag << " " << c.arguments.startingIndex
        << " " << c.arguments.requestedCount;
    EXPECT_FALSE(answer.errorText.empty());
    EXPECT_TRUE(answer.result.empty());
  }
}

TEST(BrowseTest, NothingToBrowseIsAnEmptyDocument) {
  const BrowseAnswer answer = NothingToBrowse();
  EXPECT_EQ(answer.error, 0u);
  EXPECT_EQ(answer.numberReturned, 0u);
  EXPECT_TRUE(ParseDidl(answer.result).empty());
}

TEST(XmlTextTest, EscapesMarkupAndReplacesWhatXmlCannotHold) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"plain", "plain"},
      {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
      {"Amélie – 日本 🎬", "Amélie – 日本 🎬"},
      {"tab\there", "tab\there"},
      {"line\r\nbreak", "line&#13;&#10;break"},
      {std::string("nul\0x", 5), "nul\xEF\xBF\xBDx"},
      {"\x01\x7f", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xff", "\xEF\xBF\xBD"},
      {"\xc3", "\xEF\xBF\xBD"},                                  // cut short
      {"\xc0\xaf", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong '/'
      {"\xed\xa0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
      {"\xef\xbf\xbe", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // U+FFFE
  };
  for (const Case& c : cases) EXPECT_EQ(XmlText(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace vidoria
