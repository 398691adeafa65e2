#include "site/item_line.h"

#include "library/case_fold.h"
#include "site/markup.h"

namespace vidoria {

namespace {

template <typename Out>
void WriteItemLine(Out& out, std::string_view className, std::string_view fileName) {
  out += kEntryStart;
  AppendVideoHref(out, fileName);
  out += "\" type=\"video/mp4\"><img src=\"/kavra/";
  // The class in ASCII lower case; short, so the string holds it without an allocation.
  std::string lower(className);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  AppendPathSegment(out, lower);
  out += ".png\"></a></td><td><a href=\"";
  AppendVideoHref(out, fileName);
  out += "\" type=\"video/mp4\">";
  AppendHtmlText(out, ItemTitle(fileName));
  out += "</a>";
  out += kEntryEnd;
  out += kCrLf;
}

}  // namespace

void AppendVideoHref(std::string& out, std::string_view fileName) {
  out += '/';
  AppendPathSegment(out, fileName);
}

void AppendVideoHref(TextSize& out, std::string_view fileName) {
  out += '/';
  AppendPathSegment(out, fileName);
}

std::string VideoHref(std::string_view fileName) {
  std::string href;
  AppendVideoHref(href, fileName);
  return href;
}

std::string CoverPictureName(std::string_view fileName) {
  constexpr std::string_view kVideo = ".mp4";
  if (!fileName.ends_with(kVideo)) return {};
  const std::string_view stem = fileName.substr(0, fileName.size() - kVideo.size());
  if (stem.find(".jpg") != std::string_view::npos) return {};
  return std::string(stem) + ".jpg";
}

std::string CoverHref(std::string_view fileName) {
  const std::string picture = CoverPictureName(fileName);
  return picture.empty() ? std::string() : VideoHref(picture);
}

std::string SubtitlesName(std::string_view fileName) {
  constexpr std::string_view kVideo = ".mp4";
  if (!fileName.ends_with(kVideo)) return {};
  const std::string_view stem = fileName.substr(0, fileName.size() - kVideo.size());
  const std::string folded = FoldCase(stem);
  if (folded.find(".mp4") != std::string::npos || folded.find(".srt") != std::string::npos)
    return {};
  return std::string(stem) + ".srt";
}

std::string SubtitlesHref(std::string_view fileName) {
  const std::string subtitles = SubtitlesName(fileName);
  return subtitles.empty() ? std::string() : VideoHref(subtitles);
}

void AppendItemLine(std::string& out, std::string_view className, std::string_view fileName) {
  WriteItemLine(out, className, fileName);
}

void AppendItemLine(TextSize& out, std::string_view className, std::string_view fileName) {
  WriteItemLine(out, className, fileName);
}

std::string ItemLine(std::string_view className, std::string_view fileName) {
  std::string line;
  AppendItemLine(line, className, fileName);
  return line;
}

}  // namespace vidoria
