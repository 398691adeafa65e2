#include "upnp/didl.h"

#include <cstdint>
#include <cstdio>

#include "web/dlna_features.h"

namespace vidoria {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the valid UTF-8 sequence at `at`, 0 when there is none (overlong forms,
// surrogates and code points past U+10FFFF included).
size_t Utf8Length(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  size_t length;
  uint32_t point;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    point = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    point = (point << 6) | (byte(i) & 0x3F);
  }
  if ((length == 3 && point < 0x800) || (length == 4 && point < 0x10000) || point > 0x10FFFF ||
      (point >= 0xD800 && point <= 0xDFFF) || point == 0xFFFE || point == 0xFFFF) {
    return 0;
  }
  return length;
}

}  // namespace

std::string XmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const char c = text[at];
    const size_t length = Utf8Length(text, at);
    if (length == 0) {
      out += kReplacement;
      ++at;
      continue;
    }
    if (length > 1) {
      out.append(text, at, length);
      at += length;
      continue;
    }
    ++at;
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '\t':
        out += c;
        break;
      // Kept as references: a raw CR or LF in an attribute reads back as a space.
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          out += kReplacement;
        } else {
          out += c;
        }
    }
  }
  return out;
}

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
  out_ += ">" + XmlText(mediaBase_ + item.videoHref) + "</res></item>";
}

std::string DidlWriter::Finish() {
  out_ += "</DIDL-Lite>";
  return std::move(out_);
}

}  // namespace vidoria
