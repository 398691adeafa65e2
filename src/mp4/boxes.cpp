#include "mp4/boxes.h"

#include <algorithm>
#include <cassert>
#include <limits>

#include "mp4/read_at.h"

namespace vidoria::mp4 {

namespace {

constexpr FourCC kUuid = MakeFourCC("uuid");
constexpr FourCC kMeta = MakeFourCC("meta");
constexpr FourCC kHdlr = MakeFourCC("hdlr");

// Real files have a handful of top-level boxes; a flood of tiny ones is damage, and bounding it
// keeps the header list small.
constexpr size_t kMaxTopLevelBoxes = 100000;

// Containers nest a few levels deep in any real movie box; the bound protects the stack.
constexpr int kMaxDepth = 32;

enum class Kind {
  kLeaf,
  kStrict,  // on the way to the sample tables: damage here must fail, or a table could be missed
  kLenient  // user data and metadata: kept opaque when they are not boxes as expected
};

Kind KindOf(FourCC type) {
  switch (type) {
    case MakeFourCC("moov"):
    case MakeFourCC("trak"):
    case MakeFourCC("mdia"):
    case MakeFourCC("minf"):
    case MakeFourCC("stbl"):
    case MakeFourCC("edts"):
    case MakeFourCC("dinf"):
    case MakeFourCC("mvex"):
      return Kind::kStrict;
    case MakeFourCC("udta"):
    case kMeta:
      return Kind::kLenient;
    default:
      return Kind::kLeaf;
  }
}

std::string At(uint64_t offset) {
  return " at offset " + std::to_string(offset);
}

Result<Box> ParseAt(std::span<const uint8_t> bytes, const BoxHeader& header, uint64_t offset,
                    int depth);

// Fills box.children (and trailer) from `content`, which starts at file offset `offset`.
Status ParseChildren(std::span<const uint8_t> content, uint64_t offset, Box& box, int depth) {
  size_t pos = 0;
  while (content.size() - pos >= 8) {
    auto rest = content.subspan(pos);
    Result<BoxHeader> header = ParseBoxHeader(rest, offset + pos, rest.size());
    if (!header) return Failure{header.Reason() + " inside '" + FourCCName(box.type) + "'"};
    Result<Box> child = ParseAt(rest.first(header->size), *header, offset + pos, depth + 1);
    if (!child) return Failure{child.Reason()};
    box.children.push_back(std::move(*child));
    pos += header->size;
  }
  box.trailer.assign(content.begin() + pos, content.end());
  return Ok();
}

Result<Box> ParseAt(std::span<const uint8_t> bytes, const BoxHeader& header, uint64_t offset,
                    int depth) {
  Box box;
  box.type = header.type;
  box.largeSize = header.largeSize;
  if (header.type == kUuid) {
    std::copy_n(bytes.begin() + header.headerSize - 16, 16, box.userType.begin());
  }
  auto content = bytes.subspan(header.headerSize);
  const uint64_t contentOffset = offset + header.headerSize;

  Kind kind = KindOf(header.type);
  if (kind == Kind::kLeaf) {
    box.payload.assign(content.begin(), content.end());
    return box;
  }
  if (depth >= kMaxDepth) {
    return Failure{"boxes nested too deeply" + At(offset)};
  }

  // An ISO 'meta' is a full box (version and flags before its children); QuickTime's is a plain
  // container whose first child is its 'hdlr'.
  size_t prefix = 0;
  if (header.type == kMeta) {
    bool quicktime = content.size() >= 8 && ReadBE32(content.data() + 4) == kHdlr;
    prefix = quicktime ? 0 : 4;
  }
  if (content.size() >= prefix) {
    box.container = true;
    box.payload.assign(content.begin(), content.begin() + prefix);
    Status children = ParseChildren(content.subspan(prefix), contentOffset + prefix, box, depth);
    if (children) return box;
    if (kind == Kind::kStrict) return Failure{children.Reason()};
  }

  Box opaque;
  opaque.type = box.type;
  opaque.largeSize = box.largeSize;
  opaque.userType = box.userType;
  opaque.payload.assign(content.begin(), content.end());
  return opaque;
}

void CollectAll(Box& box, FourCC type, std::vector<Box*>& out) {
  if (box.type == type) out.push_back(&box);
  for (Box& child : box.children) CollectAll(child, type, out);
}

}  // namespace

std::string FourCCName(FourCC type) {
  std::string name(4, '?');
  for (int i = 0; i < 4; ++i) {
    char c = char((type >> (24 - 8 * i)) & 0xff);
    if (c >= 0x20 && c <= 0x7e) name[i] = c;
  }
  return name;
}

bool IsPrintableFourCC(FourCC type) {
  for (int i = 0; i < 4; ++i) {
    uint8_t c = uint8_t(type >> (8 * i));
    if (c < 0x20 || c > 0x7e) return false;
  }
  return true;
}

uint32_t ReadBE32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

uint64_t ReadBE64(const uint8_t* p) {
  return (uint64_t(ReadBE32(p)) << 32) | ReadBE32(p + 4);
}

void AppendBE32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

void AppendBE64(std::vector<uint8_t>& out, uint64_t value) {
  AppendBE32(out, uint32_t(value >> 32));
  AppendBE32(out, uint32_t(value));
}

Result<BoxHeader> ParseBoxHeader(std::span<const uint8_t> head, uint64_t offset, uint64_t room) {
  auto cutOff = [&] {
    return Failure{"box header" + At(offset) + " is cut off (" + std::to_string(room) +
                   " bytes left)"};
  };
  const size_t have = size_t(std::min<uint64_t>({head.size(), room, kMaxHeaderSize}));
  if (have < 8) return cutOff();

  BoxHeader header;
  header.offset = offset;
  header.type = ReadBE32(head.data() + 4);
  const uint32_t size32 = ReadBE32(head.data());
  header.headerSize = 8;
  if (size32 == 1) {
    if (have < 16) return cutOff();
    header.largeSize = true;
    header.headerSize = 16;
    header.size = ReadBE64(head.data() + 8);
  } else if (size32 == 0) {
    header.toEnd = true;
    header.size = room;
  } else {
    header.size = size32;
  }
  if (header.type == kUuid) {
    header.headerSize += 16;
    if (have < header.headerSize) return cutOff();
  }

  const std::string name = "box '" + FourCCName(header.type) + "'" + At(offset);
  if (header.size < header.headerSize) {
    return Failure{name + " has an impossible size of " + std::to_string(header.size)};
  }
  if (header.size > room) {
    return Failure{name + " claims " + std::to_string(header.size) + " bytes but only " +
                   std::to_string(room) + " remain"};
  }
  return header;
}

Result<std::vector<BoxHeader>> ScanTopLevel(int fd, uint64_t fileSize) {
  const std::string notMp4 = "not an MP4 file (no box structure)";
  if (fileSize == 0) return Failure{"not an MP4 file (it is empty)"};

  std::vector<BoxHeader> boxes;
  uint64_t offset = 0;
  while (offset < fileSize) {
    uint8_t head[kMaxHeaderSize];
    const uint64_t room = fileSize - offset;
    const size_t want = size_t(std::min<uint64_t>(room, sizeof head));
    if (Status read = ReadAt(fd, offset, {head, want}); !read) return Failure{read.Reason()};

    Result<BoxHeader> header = ParseBoxHeader({head, want}, offset, room);
    const bool readable = header && IsPrintableFourCC(header->type);
    if (!readable && boxes.empty()) return Failure{notMp4};
    if (!header) return Failure{"truncated or damaged file: " + header.Reason()};
    if (!readable) return Failure{"damaged file: no valid box" + At(offset)};
    if (boxes.size() == kMaxTopLevelBoxes) {
      return Failure{"damaged file: more than " + std::to_string(kMaxTopLevelBoxes) +
                     " top-level boxes"};
    }
    boxes.push_back(*header);
    offset += header->size;
  }
  return boxes;
}

uint64_t Box::SerializedSize() const {
  uint64_t size = 8 + (type == kUuid ? 16 : 0) + payload.size() + trailer.size();
  for (const Box& child : children) size += child.SerializedSize();
  if (largeSize || size > std::numeric_limits<uint32_t>::max()) size += 8;
  return size;
}

void Box::AppendTo(std::vector<uint8_t>& out) const {
  const uint64_t size = SerializedSize();
  const bool large = largeSize || size > std::numeric_limits<uint32_t>::max();
  AppendBE32(out, large ? 1 : uint32_t(size));
  AppendBE32(out, type);
  if (large) AppendBE64(out, size);
  if (type == kUuid) out.insert(out.end(), userType.begin(), userType.end());
  out.insert(out.end(), payload.begin(), payload.end());
  for (const Box& child : children) child.AppendTo(out);
  out.insert(out.end(), trailer.begin(), trailer.end());
}

Result<Box> ParseBox(std::span<const uint8_t> bytes, uint64_t offset) {
  Result<BoxHeader> header = ParseBoxHeader(bytes, offset, bytes.size());
  if (!header) return Failure{header.Reason()};
  return ParseAt(bytes.first(header->size), *header, offset, 0);
}

std::vector<Box*> FindAll(Box& root, FourCC type) {
  std::vector<Box*> found;
  CollectAll(root, type, found);
  return found;
}

bool Contains(const Box& root, FourCC type) {
  if (root.type == type) return true;
  return std::any_of(root.children.begin(), root.children.end(),
                     [type](const Box& child) { return Contains(child, type); });
}

Result<std::vector<uint64_t>> ReadChunkOffsets(const Box& table) {
  assert(table.type == kStco || table.type == kCo64);
  const uint64_t width = table.type == kCo64 ? 8 : 4;
  const std::string name = "'" + FourCCName(table.type) + "' table";
  if (table.payload.size() < 8) return Failure{name + " is too short"};
  const uint64_t count = ReadBE32(table.payload.data() + 4);
  if (table.payload.size() - 8 < count * width) {
    return Failure{name + " holds fewer than its " + std::to_string(count) + " entries"};
  }
  std::vector<uint64_t> offsets;
  offsets.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* p = table.payload.data() + 8 + i * width;
    offsets.push_back(width == 8 ? ReadBE64(p) : ReadBE32(p));
  }
  return offsets;
}

void WriteChunkOffsets(Box& table, const std::vector<uint64_t>& offsets, bool wide) {
  assert(table.type == kStco || table.type == kCo64);
  assert(table.payload.size() >= 8);
  const size_t oldWidth = table.type == kCo64 ? 8 : 4;
  const size_t oldEnd = 8 + size_t(ReadBE32(table.payload.data() + 4)) * oldWidth;
  assert(oldEnd <= table.payload.size());
  wide = wide || table.type == kCo64;

  std::vector<uint8_t> payload(table.payload.begin(), table.payload.begin() + 4);
  payload.reserve(table.payload.size() + offsets.size() * 4);
  assert(offsets.size() <= std::numeric_limits<uint32_t>::max());
  AppendBE32(payload, uint32_t(offsets.size()));
  for (uint64_t offset : offsets) {
    if (wide) {
      AppendBE64(payload, offset);
    } else {
      assert(offset <= std::numeric_limits<uint32_t>::max());
      AppendBE32(payload, uint32_t(offset));
    }
  }
  // Whatever follows the entries (some writers pad) stays.
  payload.insert(payload.end(), table.payload.begin() + oldEnd, table.payload.end());
  table.payload = std::move(payload);
  table.type = wide ? kCo64 : kStco;
}

}  // namespace vidoria::mp4
