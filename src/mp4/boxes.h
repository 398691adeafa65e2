// Boxes of the ISO base media file format (MP4, and QuickTime's older flavour of it).
//
// Top-level boxes are only scanned: their headers are read from the file, the media data never
// is. The movie box ('moov') is small next to the media, so it is read whole and parsed into a Box
// tree that can be edited and written back. Within the tree only the containers on the way to the
// sample tables (and the user-data and metadata boxes) are opened; every other box is kept as
// opaque bytes, so writing back an unedited tree reproduces the original bytes.
//
// Everything here is plain single-threaded data; no function keeps a file open.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mp4/result.h"

namespace vidoria::mp4 {

using FourCC = uint32_t;

constexpr FourCC MakeFourCC(const char (&name)[5]) {
  return (FourCC(uint8_t(name[0])) << 24) | (FourCC(uint8_t(name[1])) << 16) |
         (FourCC(uint8_t(name[2])) << 8) | FourCC(uint8_t(name[3]));
}

// The four characters for messages; bytes outside printable ASCII become '?'.
std::string FourCCName(FourCC type);

// Box types are four printable ASCII characters at the top level of every real file; anything
// else there means the bytes are not boxes at all.
bool IsPrintableFourCC(FourCC type);

uint32_t ReadBE32(const uint8_t* p);
uint64_t ReadBE64(const uint8_t* p);
void AppendBE32(std::vector<uint8_t>& out, uint32_t value);
void AppendBE64(std::vector<uint8_t>& out, uint64_t value);

// The longest header: 32-bit size, type, 64-bit size, 16-byte 'uuid' user type.
inline constexpr size_t kMaxHeaderSize = 32;

struct BoxHeader {
  FourCC type = 0;
  uint64_t offset = 0;      // of the first header byte, from the start of the enclosing data
  uint64_t size = 0;        // whole box, header included; resolved when the size field was 0
  uint32_t headerSize = 0;  // 8, or 16 with a 64-bit size, plus 16 for a 'uuid' user type
  bool largeSize = false;   // the size was stored in the 64-bit field
  bool toEnd = false;       // the size field was 0: the box runs to the end of its container
};

// Decodes the header of a box that starts `offset` bytes into its container, where `room` bytes
// remain from the box's start to the container's end. `head` holds the first
// min(room, kMaxHeaderSize) bytes of the box (more are ignored). Fails when the header or the
// box does not fit in `room`.
Result<BoxHeader> ParseBoxHeader(std::span<const uint8_t> head, uint64_t offset, uint64_t room);

// Headers of all top-level boxes of the open file `fd` of `file_size` bytes, in file order.
// They tile the file exactly: a trailing fragment or a box reaching past the end fails. The
// reason distinguishes data that is no box structure at all (the first box is unreadable) from a
// damaged or truncated file.
Result<std::vector<BoxHeader>> ScanTopLevel(int fd, uint64_t fileSize);

// One parsed box. Containers keep the bytes before their first child in `payload` (a full box's
// version and flags, e.g. of an ISO 'meta'), leaves keep their whole payload there.
struct Box {
  FourCC type = 0;
  bool largeSize = false;              // written back with a 64-bit size even when 32 bits would do
  std::array<uint8_t, 16> userType{};  // only for 'uuid'
  bool container = false;
  std::vector<uint8_t> payload;
  std::vector<Box> children;
  // Bytes after the last child too short to be a box, e.g. the four zero bytes QuickTime puts at
  // the end of a user-data box.
  std::vector<uint8_t> trailer;

  uint64_t SerializedSize() const;
  void AppendTo(std::vector<uint8_t>& out) const;
};

// Parses one whole box, header included, that starts `offset` bytes into the file (for
// messages). Fails on children that overrun their parent inside the containers that lead to the
// sample tables; user data and metadata that do not parse as boxes are kept opaque instead.
Result<Box> ParseBox(std::span<const uint8_t> bytes, uint64_t offset = 0);

// Every box of the given type in the tree, `root` included, in depth-first file order.
std::vector<Box*> FindAll(Box& root, FourCC type);
bool Contains(const Box& root, FourCC type);

// Chunk-offset tables: 'stco' holds 32-bit file offsets, 'co64' 64-bit ones. Both are full boxes:
// version and flags, an entry count, then the offsets.
inline constexpr FourCC kStco = MakeFourCC("stco");
inline constexpr FourCC kCo64 = MakeFourCC("co64");

Result<std::vector<uint64_t>> ReadChunkOffsets(const Box& table);

// Replaces the table's entries, keeping its version and flags. `wide` makes it a 'co64', which
// also turns a 'stco' into one; a 'co64' is never narrowed. Every offset must fit the width.
void WriteChunkOffsets(Box& table, const std::vector<uint64_t>& offsets, bool wide);

}  // namespace vidoria::mp4
