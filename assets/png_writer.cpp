#include "assets/png_writer.h"

#include <array>
#include <cassert>
#include <fstream>

namespace vidoria::assets {

namespace {

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char (&type)[5], const std::vector<uint8_t>& data) {
  PutBigEndian32(out, static_cast<uint32_t>(data.size()));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian32(out, Crc32(out.data() + typeAt, 4 + data.size()));
}

// A zlib stream of stored deflate blocks (each at most 65535 bytes) holding `raw`.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
  constexpr size_t kMaxBlock = 65535;
  std::vector<uint8_t> out = {0x78, 0x01};  // deflate, 32 KiB window, no preset dictionary
  size_t at = 0;
  do {
    const size_t size = std::min(kMaxBlock, raw.size() - at);
    const bool last = at + size == raw.size();
    out.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00 (stored)
    out.push_back(static_cast<uint8_t>(size));
    out.push_back(static_cast<uint8_t>(size >> 8));
    out.push_back(static_cast<uint8_t>(~size));
    out.push_back(static_cast<uint8_t>(~size >> 8));
    out.insert(out.end(), raw.begin() + static_cast<ptrdiff_t>(at),
               raw.begin() + static_cast<ptrdiff_t>(at + size));
    at += size;
  } while (at < raw.size());
  PutBigEndian32(out, Adler32(raw.data(), raw.size()));
  return out;
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  static const std::array<uint32_t, 256> kTable = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = kTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t size) {
  uint32_t a = 1, b = 0;
  for (size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgba) {
  assert(width > 0 && height > 0);
  assert(rgba.size() == static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

  std::vector<uint8_t> header;
  PutBigEndian32(header, static_cast<uint32_t>(width));
  PutBigEndian32(header, static_cast<uint32_t>(height));
  header.insert(header.end(),
                {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, progressive off
  PutChunk(out, "IHDR", header);

  const size_t rowBytes = static_cast<size_t>(width) * 4;
  std::vector<uint8_t> raw;
  raw.reserve((rowBytes + 1) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter type None
    const auto row = rgba.begin() + static_cast<ptrdiff_t>(rowBytes * static_cast<size_t>(y));
    raw.insert(raw.end(), row, row + static_cast<ptrdiff_t>(rowBytes));
  }
  PutChunk(out, "IDAT", StoredZlib(raw));
  PutChunk(out, "IEND", {});
  return out;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file.flush());
}

}  // namespace vidoria::assets
