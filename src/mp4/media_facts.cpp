#include "mp4/media_facts.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "mp4/read_at.h"
#include "platform/unique_fd.h"

namespace vidoria::mp4 {

namespace {

constexpr FourCC kMoov = MakeFourCC("moov");
constexpr FourCC kTrak = MakeFourCC("trak");

const Box* Child(const Box& parent, FourCC type) {
  for (const Box& child : parent.children) {
    if (child.type == type) return &child;
  }
  return nullptr;
}

// A full box's payload: version and flags, then the fields.
struct Fields {
  const std::vector<uint8_t>& bytes;
  bool Has(size_t at, size_t width) const { return at + width <= bytes.size(); }
  uint32_t U16(size_t at) const {
    return Has(at, 2) ? (uint32_t(bytes[at]) << 8) | bytes[at + 1] : 0;
  }
  uint32_t U32(size_t at) const { return Has(at, 4) ? ReadBE32(bytes.data() + at) : 0; }
  uint64_t U64(size_t at) const { return Has(at, 8) ? ReadBE64(bytes.data() + at) : 0; }
  uint8_t Version() const { return bytes.empty() ? 0 : bytes[0]; }
};

// 'mvhd' and 'mdhd' keep their time scale and duration in the same places.
uint64_t DurationMs(const Box& header) {
  const Fields f{header.payload};
  const bool wide = f.Version() == 1;
  const uint32_t scale = f.U32(wide ? 20 : 12);
  const uint64_t duration = wide ? f.U64(24) : f.U32(16);
  // All ones: "unknown" in either width.
  if (scale == 0 || duration == (wide ? ~0ull : 0xFFFFFFFFull)) return 0;
  return duration / scale * 1000 + duration % scale * 1000 / scale;
}

// The first sample entry of a track's sample description ('stsd'): its type and bytes (the
// entry's box header included).
struct SampleEntry {
  FourCC type = 0;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
};

SampleEntry FirstSampleEntry(const Box& stsd) {
  const Fields f{stsd.payload};
  if (f.U32(4) == 0 || !f.Has(8, 8)) return {};
  const uint32_t size = f.U32(8);
  if (size < 8 || !f.Has(8, size)) return {};
  return {f.U32(12), stsd.payload.data() + 8, size};
}

void ReadVideoEntry(const SampleEntry& entry, MediaFacts& facts) {
  // The visual sample entry: 8 header bytes, 8 common, 16 reserved, then width and height.
  constexpr size_t kChildren = 86;
  if (entry.size < kChildren) return;
  facts.videoCodec = entry.type;
  facts.width = (uint32_t(entry.bytes[32]) << 8) | entry.bytes[33];
  facts.height = (uint32_t(entry.bytes[34]) << 8) | entry.bytes[35];
  for (size_t at = kChildren; at + 8 <= entry.size;) {
    const uint32_t size = ReadBE32(entry.bytes + at);
    if (size < 8 || at + size > entry.size) break;
    if (ReadBE32(entry.bytes + at + 4) == MakeFourCC("avcC") && size >= 12) {
      facts.avcProfile = entry.bytes[at + 9];
      facts.avcConstraints = entry.bytes[at + 10];
      facts.avcLevel = entry.bytes[at + 11];
    }
    at += size;
  }
}

// An MPEG-4 descriptor's size: up to four bytes of seven bits each.
bool DescriptorSize(const uint8_t* bytes, size_t end, size_t& at, size_t& size) {
  size = 0;
  for (int i = 0; i < 4; ++i) {
    if (at >= end) return false;
    const uint8_t b = bytes[at++];
    size = (size << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) return at + size <= end;
  }
  return false;
}

// AAC keeps its real channel layout and rate in the decoder's configuration inside 'esds'; the
// sample entry says 2 channels for 5.1 sound.
void ReadAacConfig(const uint8_t* esds, size_t size, MediaFacts& facts) {
  static constexpr uint32_t kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                        22050, 16000, 12000, 11025, 8000,  7350};
  size_t at = 12;  // box header, version and flags
  size_t length = 0;
  if (at >= size || esds[at++] != 0x03 || !DescriptorSize(esds, size, at, length)) return;
  if (at + 3 > size) return;
  const uint8_t flags = esds[at + 2];
  at += 3;
  if (flags & 0x80) at += 2;                            // depends on another stream
  if ((flags & 0x40) && at < size) at += 1 + esds[at];  // a URL
  if (flags & 0x20) at += 2;                            // clock reference stream
  if (at >= size || esds[at++] != 0x04 || !DescriptorSize(esds, size, at, length)) return;
  at += 13;  // object type, stream type, buffer size, bit rates
  if (at >= size || esds[at++] != 0x05 || !DescriptorSize(esds, size, at, length)) return;
  if (length < 2) return;
  const uint8_t* config = esds + at;
  uint32_t bits = (uint32_t(config[0]) << 8) | config[1];
  int used = 5;  // the object type
  if ((config[0] >> 3) == 31) {
    if (length < 3) return;
    bits = (bits << 8) | config[2];
    used += 6;
  }
  const int total = length >= 3 && used > 5 ? 24 : 16;
  const uint32_t rateIndex = (bits >> (total - used - 4)) & 0x0F;
  if (rateIndex == 15) return;  // an explicit rate: rare, left as the entry says
  const uint32_t channels = (bits >> (total - used - 8)) & 0x0F;
  if (rateIndex < std::size(kRates)) facts.sampleRate = kRates[rateIndex];
  if (channels >= 1 && channels <= 6) facts.channels = channels;
  if (channels == 7) facts.channels = 8;
}

void ReadAudioEntry(const SampleEntry& entry, MediaFacts& facts) {
  // The audio sample entry: 8 header bytes, 8 common, 8 reserved (QuickTime: version and
  // revision), channel count, sample size, 4 more, then the rate as 16.16 fixed point; boxes
  // after that.
  constexpr size_t kChildren = 36;
  if (entry.size < kChildren) return;
  facts.audioCodec = entry.type;
  facts.channels = (uint32_t(entry.bytes[24]) << 8) | entry.bytes[25];
  facts.sampleRate = (uint32_t(entry.bytes[32]) << 8) | entry.bytes[33];
  if (entry.type != MakeFourCC("mp4a")) return;
  for (size_t at = kChildren; at + 8 <= entry.size;) {
    const uint32_t size = ReadBE32(entry.bytes + at);
    if (size < 8 || at + size > entry.size) break;
    if (ReadBE32(entry.bytes + at + 4) == MakeFourCC("esds")) {
      ReadAacConfig(entry.bytes + at, size, facts);
    }
    at += size;
  }
}

}  // namespace

MediaFacts MediaFactsOf(const Box& moov) {
  MediaFacts facts;
  if (const Box* mvhd = Child(moov, MakeFourCC("mvhd"))) facts.durationMs = DurationMs(*mvhd);
  uint64_t longestTrack = 0;
  for (const Box& trak : moov.children) {
    if (trak.type != kTrak) continue;
    const Box* mdia = Child(trak, MakeFourCC("mdia"));
    const Box* hdlr = mdia ? Child(*mdia, MakeFourCC("hdlr")) : nullptr;
    const Box* mdhd = mdia ? Child(*mdia, MakeFourCC("mdhd")) : nullptr;
    const Box* minf = mdia ? Child(*mdia, MakeFourCC("minf")) : nullptr;
    const Box* stbl = minf ? Child(*minf, MakeFourCC("stbl")) : nullptr;
    const Box* stsd = stbl ? Child(*stbl, MakeFourCC("stsd")) : nullptr;
    if (!hdlr || !stsd) continue;
    if (mdhd) longestTrack = std::max(longestTrack, DurationMs(*mdhd));
    const FourCC handler = Fields{hdlr->payload}.U32(8);
    const SampleEntry entry = FirstSampleEntry(*stsd);
    if (handler == MakeFourCC("vide") && facts.videoCodec == 0) ReadVideoEntry(entry, facts);
    if (handler == MakeFourCC("soun") && facts.audioCodec == 0) ReadAudioEntry(entry, facts);
  }
  if (facts.durationMs == 0) facts.durationMs = longestTrack;
  return facts;
}

Result<MediaFacts> ReadMediaFacts(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0) {
    return Failure{"cannot read the file: " + ErrnoText(errno)};
  }
  const auto boxes = ScanTopLevel(fd.Get(), uint64_t(st.st_size));
  if (!boxes) return Failure{boxes.Reason()};
  for (const BoxHeader& header : *boxes) {
    if (header.type != kMoov) continue;
    if (header.size > kMaxMovieBoxBytes) return Failure{"the movie box is too large"};
    std::vector<uint8_t> bytes(header.size);
    if (Status read = ReadAt(fd.Get(), header.offset, bytes); !read) {
      return Failure{read.Reason()};
    }
    auto moov = ParseBox(bytes, header.offset);
    if (!moov) return Failure{moov.Reason()};
    MediaFacts facts = MediaFactsOf(*moov);
    facts.fileSize = uint64_t(st.st_size);
    return facts;
  }
  return Failure{"no movie box"};
}

}  // namespace vidoria::mp4
