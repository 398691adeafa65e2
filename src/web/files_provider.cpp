#include "web/files_provider.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "library/line_breaks.h"
#include "server/connection.h"
#include "server/log.h"
#include "server/text.h"
#include "site/item_line.h"
#include "web/byte_ranges.h"
#include "web/dlna_features.h"
#include "web/library_lookup.h"
#include "web/provider_answers.h"
#include "web/request_log.h"

namespace vidoria {

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Header values must never carry a line break of the client's making.
std::string HeaderSafe(std::string_view text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (c < 32 || c == 127) {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

FilesProvider::FilesProvider(const WebContext& context) : context_(context) {
  onCheckRequest = [this](Connection& c) { CheckRequest(c); };
  onDataReceived = [this](Connection& c) { SendBody(c); };
  onDataSent = [this](Connection& c) { SendBody(c); };
  onDisconnect = [this](Connection& c) { Disconnected(c); };
}

void FilesProvider::AddDefaultPage(std::string_view name) {
  const std::string_view page = TrimControl(name);
  if (!page.empty()) defaultPages_.emplace_back(page);
}

void FilesProvider::CheckRequest(Connection& c) {
  const std::string& method = c.Request().Method();
  if (method != "GET" && method != "HEAD") return;
  // An announced body this large is refused before anything of the file's answer is written.
  if (c.Request().ContentLength() > kMaxAcceptedContent) {
    c.Accept();
    RefuseLargeBody(c, c.Request().ContentLength());
    return;
  }
  if (const size_t star = c.Request().FileName().find('*'); star != std::string::npos) {
    c.Request().SetFileName(TrimControl(std::string_view(c.Request().FileName()).substr(star + 1)));
  }
  const std::string upper = UpperCase(c.Request().FileName());
  const bool video = upper.find(".MP4") != std::string::npos;
  const bool image = upper.find(".JPG") != std::string::npos;
  // A TV's subtitles: only ever the file beside a listed video, named after it.
  const bool subtitles = !video && !image && upper.ends_with(".SRT");
  LibraryLookup lookup;
  if (video || image || subtitles) {
    const auto view = context_.library->Current();
    const LookupContext lookupContext{
        *view, context_.programFolder,
        [](const std::string& path) { return FileSizeOf(path) >= 0; },
        [this](const std::string& line) { context_.activity->Add(Printable(line)); }};
    if (video) LookUpVideo(c.Request().FileName(), lookupContext, lookup);
    if (image) LookUpImage(c.Request().FileName(), lookupContext, lookup);
    if (subtitles) LookUpSubtitles(c.Request().FileName(), lookupContext, lookup);
  }
  if (subtitles && lookup.folder.empty()) {
    c.Accept();
    NotFound(c, lookup.name);
    return;
  }
  ServeDiskFile(c, video, image || subtitles, lookup.folder, lookup.name);
}

void FilesProvider::ServeDiskFile(Connection& c, bool video, bool image,
                                  const std::string& libraryFolder,
                                  const std::string& libraryName) {
  const bool library = video || image;
  const std::string root = library ? libraryFolder : HostRootFor(c.Request().Host());
  if (root.empty()) {
    c.Accept();
    LogRequestLine("BAD! " + RequestPart(c) + " 0 " + ClientPart(c) + " > Invalid Host: \"" +
                   c.Request().Host() + "\".");
    AnswerStatus(c, 400, "Bad Request");
    return;
  }
  MappedPath mapped =
      MapRequestPath(library ? libraryName : c.Request().FileName(), root, defaultPages_);
  const std::string name = mapped.kind == MappedPath::Kind::kFile ? mapped.name : std::string();
  if (library) context_.activity->Add("Request for " + Printable(name));
  switch (mapped.kind) {
    case MappedPath::Kind::kForbidden:
      c.Accept();
      LogRequestLine("DENY " + RequestPart(c) + " 0 " + ClientPart(c) + " > Invalid FileName: \"" +
                     mapped.full + "\".");
      AnswerStatus(c, 403, "Forbidden");
      return;
    case MappedPath::Kind::kFolderMoved:
      c.Accept();
      c.Response().Status(301, "Moved Permanently");
      c.Response().SetValue("LOCATION", HeaderSafe(c.Request().FileName() + "/"));
      c.Write("Status 301: Moved Permanently");
      return;
    case MappedPath::Kind::kFile:
      break;
  }
  if (mapped.fileSize > 0) {
    StartFileAnswer(c, name, root, mapped.fileSize, std::move(mapped.file),
                    video ? &mapped.full : nullptr);
  } else if (mapped.fileSize == 0) {
    c.Accept();
    LogRequestLine("SEND " + RequestPart(c) + " 0 " + ClientPart(c));
    c.Write("");
  } else {
    c.Accept();
    LogRequestLine("FAIL " + RequestPart(c) + " 0 " + ClientPart(c) + " > File not found: \"" +
                   name + "\".");
    AnswerStatus(c, 404, "File not found");
  }
}

void FilesProvider::StartFileAnswer(Connection& c, const std::string& name, const std::string& root,
                                    int64_t fileSize, AnswerFile file,
                                    const std::string* videoPath) {
  c.Accept();
  // The file is sent as it is stored; a seek by time would need an index of its samples.
  if (videoPath && !c.Request().Value("TIMESEEKRANGE.DLNA.ORG").empty()) {
    LogRequestLine("FAIL " + RequestPart(c) + " 0 " + ClientPart(c) +
                   " > Time seek not supported.");
    AnswerStatus(c, 406, "Not Acceptable");
    return;
  }
  c.UseAnswerFile(std::move(file));
  const std::string type = ContentTypeFor(name);
  Info& info = c.Request().GetInfo();
  info.SetTextField("fname", name);
  info.SetTextField("root", root);
  info.SetLargeIntField("$time", NowMs());
  info.SetLargeIntField("from", 0);
  if (!type.empty()) c.Response().SetContentType(type);
  c.Response().SetContentLength(fileSize);
  // Only a TV that asks gets the DLNA headers; every other client's answer stays as it was.
  if (videoPath && c.Request().Value("GETCONTENTFEATURES.DLNA.ORG") == "1") {
    const MediaFactsCache::Facts facts =
        context_.mediaFacts ? context_.mediaFacts->Known(*videoPath) : nullptr;
    c.Response().SetValue("contentFeatures.dlna.org", DlnaContentFeatures(facts.get()));
    c.Response().SetValue("transferMode.dlna.org", "Streaming");
  }
  // Samsung's TVs ask a video's answer where its subtitles are.
  if (videoPath && c.Request().Value("GETCAPTIONINFO.SEC") == "1") {
    const std::string subtitles = SubtitlesName(name);
    if (!subtitles.empty() && FileSizeOf(root + subtitles) >= 0) {
      c.Response().SetValue("CaptionInfo.sec",
                            HeaderSafe("http://" + c.Request().Host() + SubtitlesHref(name)));
    }
  }
  const std::string range = c.Request().Value("RANGE");
  if (c.Request().Method() == "HEAD") {
    c.Response().sendContent = false;
  } else if (!range.empty()) {
    const RangeAnswer answer = ApplyRange(ParseRangeHeader(range), fileSize);
    if (answer.applied) {
      c.Response().Status(answer.status, answer.statusText);
      c.Response().SetContentLength(answer.contentLength);
      info.SetLargeIntField("from", answer.from);
      if (!answer.headerName.empty()) c.Response().SetValue(answer.headerName, answer.headerValue);
    }
  }
  const std::string size = std::to_string(fileSize);
  if (!range.empty()) {
    LogRequestLine("PART " + RequestPart(c) + " " + size + " RANGE \"" + range + "\" (" +
                   c.Response().Value("CONTENT-RANGE") + ") " + ClientPart(c) + " TYPE \"" + type +
                   "\"");
  } else {
    LogRequestLine("SEND " + RequestPart(c) + " " + size + " " + ClientPart(c) + " TYPE \"" + type +
                   "\"");
  }
  c.Write("");
}

void FilesProvider::SendBody(Connection& c) {
  if (!c.Request().complete) {
    // Only a file answer under way can still be refused here; every other answer was written
    // whole when the request was claimed, and a large body was refused then.
    if (c.Request().GetInfo().Has("fname") && !c.Response().headerSent &&
        c.Request().ContentLength() > kMaxAcceptedContent) {
      RefuseLargeBody(c, c.Request().ContentLength());
    }
    return;
  }
  Info& info = c.Request().GetInfo();
  if (!info.Has("fname") || c.Response().done) return;
  const int64_t length = c.Response().ContentLength();
  const int64_t out = c.Response().contentOut;
  if (out >= length) return;
  // The piece leaves straight from the file; a file that is gone, shorter than announced or
  // unreadable ends the answer through ReadError.
  c.WriteFile(info.TextField("root") + info.TextField("fname"), info.LargeIntField("from") + out,
              std::min(kSendBlockSize, length - out),
              [](Connection& failed) { ReadError(failed); });
}

void FilesProvider::ReadError(Connection& c) {
  const Info& info = c.Request().GetInfo();
  LogRequestLine("CRC! " + RequestPart(c) + " > Error reading File: \"" + info.TextField("root") +
                 info.TextField("fname") + "\".");
  c.Disconnect();
}

void FilesProvider::Disconnected(Connection& c) {
  const int64_t announced = c.Request().ContentLength();
  if (announced > c.Request().contentIn) {
    LogRequestLine("ERR! " + RequestPart(c) + " 0 " + ClientPart(c) +
                   " > DISCONNECTED while receiving a Request (" +
                   std::to_string(c.Request().contentIn) + " of " + std::to_string(announced) +
                   " bytes received).");
    return;
  }
  const int64_t length = c.Response().ContentLength();
  const int64_t out = c.Response().contentOut;
  if (length <= out) return;
  const int64_t elapsed = NowMs() - c.Request().GetInfo().LargeIntField("$time");
  const int64_t rate = out * 8 / (elapsed > 0 ? elapsed : 1);
  const std::string figures =
      " bytes in " + std::to_string(elapsed) + " ms =" + std::to_string(rate) + " kbits";
  const std::string head =
      RequestPart(c) + " -" + std::to_string(length - out) + " " + ClientPart(c) + " ";
  if (c.Response().Value("CONTENT-RANGE").empty()) {
    LogRequestLine("ERR! " + head + std::to_string(out) + "/" + std::to_string(length) + figures);
  } else {
    LogRequestLine("BRK! " + head + std::to_string(out) + figures);
  }
}

}  // namespace vidoria
