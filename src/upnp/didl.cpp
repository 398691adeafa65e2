#include "upnp/didl.h"

#include <cstdint>
#include <cstdio>

#include "web/dlna_features.h"

namespace vidoria {

std::string DidlDuration(uint64_t milliseconds) {
  char text[40];
  std::snprintf(text, sizeof text, "%llu:%02u:%02u.%03u",
                static_cast<unsigned long long>(milliseconds / 3600000),
                static_cast<unsigned>(milliseconds / 60000 % 60),
                static_cast<unsigned>(milliseconds / 1000 % 60),
                static_cast<unsigned>(milliseconds % 1000));
  return text;
}

DidlWriter::DidlWriter(std::string mediaBase, MediaFactsCache* facts, const Bookmarks* bookmarks)
    : mediaBase_(std::move(mediaBase)), facts_(facts), bookmarks_(bookmarks) {
  out_ =
      "<DIDL-Lite xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\" "
      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
      "xmlns:upnp=\"urn:schemas-upnp-org:metadata-1-0/upnp/\" "
      "xmlns:dlna=\"urn:schemas-dlna-org:metadata-1-0/\" xmlns:sec=\"http://www.sec.co.kr/\">";
}

void DidlWriter::AddContainer(const MediaContainer& container) {
  out_ += "<container id=\"" + XmlText(container.id) + "\" parentID=\"" +
          XmlText(container.parentId) + "\" restricted=\"1\" searchable=\"0\" childCount=\"" +
          std::to_string(container.ChildCount()) + "\"><dc:title>" + XmlText(container.title) +
          "</dc:title><upnp:class>object.container.storageFolder</upnp:class></container>";
}

void DidlWriter::AddItem(const MediaContainer& container, size_t index) {
  const MediaItem& item = container.items.at(index);
  out_ += "<item id=\"" + XmlText(MediaTree::ItemId(container, index)) + "\" parentID=\"" +
          XmlText(container.id) + "\" restricted=\"1\"><dc:title>" + XmlText(item.title) +
          "</dc:title><upnp:class>object.item.videoItem</upnp:class>";
  // Every cover the picture lookup finds is a JPEG file.
  if (!item.coverHref.empty()) {
    out_ += "<upnp:albumArtURI dlna:profileID=\"JPEG_TN\">" + XmlText(mediaBase_ + item.coverHref) +
            "</upnp:albumArtURI>";
  }
  // Samsung's TVs find subtitles here; others take the second res below.
  if (!item.subtitlesHref.empty()) {
    out_ += "<sec:CaptionInfoEx sec:type=\"srt\">" + XmlText(mediaBase_ + item.subtitlesHref) +
            "</sec:CaptionInfoEx>";
  }
  if (const uint32_t mark = bookmarks_ && !item.path.empty() ? bookmarks_->Get(item.path) : 0) {
    out_ += "<sec:dcmInfo>BM=" + std::to_string(mark) + "</sec:dcmInfo>";
  }
  const MediaFactsCache::Facts facts =
      facts_ && !item.path.empty() ? facts_->Read(item.path) : nullptr;
  out_ += "<res protocolInfo=\"" + XmlText(VideoProtocolInfo(facts.get())) + '"';
  if (item.size >= 0) out_ += " size=\"" + std::to_string(item.size) + "\"";
  if (facts) {
    if (facts->durationMs > 0) {
      out_ += " duration=\"" + DidlDuration(facts->durationMs) + "\"";
      out_ += " bitrate=\"" + std::to_string(facts->BytesPerSecond()) + "\"";
    }
    if (facts->width > 0 && facts->height > 0) {
      out_ += " resolution=\"" + std::to_string(facts->width) + "x" +
              std::to_string(facts->height) + "\"";
    }
    if (facts->channels > 0) out_ += " nrAudioChannels=\"" + std::to_string(facts->channels) + "\"";
    if (facts->sampleRate > 0) {
      out_ += " sampleFrequency=\"" + std::to_string(facts->sampleRate) + "\"";
    }
  }
  out_ += ">" + XmlText(mediaBase_ + item.videoHref) + "</res>";
  if (!item.subtitlesHref.empty()) {
    out_ += "<res protocolInfo=\"http-get:*:text/srt:*\">" +
            XmlText(mediaBase_ + item.subtitlesHref) + "</res>";
  }
  out_ += "</item>";
}

std::string DidlWriter::Finish() {
  out_ += "</DIDL-Lite>";
  return std::move(out_);
}

}  // namespace vidoria
