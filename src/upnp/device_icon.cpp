#include "upnp/device_icon.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace vidoria {

namespace {

uint32_t Crc32(const std::string& bytes, size_t from) {
  static const std::array<uint32_t, 256> kTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    return table;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    crc = kTable[(crc ^ static_cast<uint8_t>(bytes[i])) & 0xFF] ^ (crc >> 8);
  }
  return crc ^ 0xFFFFFFFFu;
}

void AppendBE32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void AppendChunk(std::string& png, const char* type, const std::string& data) {
  AppendBE32(png, static_cast<uint32_t>(data.size()));
  const size_t start = png.size();
  png += type;
  png += data;
  AppendBE32(png, Crc32(png, start));
}

// A zlib stream of stored (uncompressed) blocks: the icon is small, and no compressor is needed.
std::string StoredZlib(const std::string& raw) {
  std::string out = "\x78\x01";
  constexpr size_t kMaxBlock = 65535;
  size_t at = 0;
  do {
    const size_t length = std::min(kMaxBlock, raw.size() - at);
    const bool last = at + length == raw.size();
    out += static_cast<char>(last ? 1 : 0);
    out += static_cast<char>(length & 0xFF);
    out += static_cast<char>(length >> 8);
    out += static_cast<char>(~length & 0xFF);
    out += static_cast<char>((~length >> 8) & 0xFF);
    out.append(raw, at, length);
    at += length;
  } while (at < raw.size());
  uint32_t a = 1, b = 0;
  for (const char c : raw) {
    a = (a + static_cast<uint8_t>(c)) % 65521;
    b = (b + a) % 65521;
  }
  AppendBE32(out, (b << 16) | a);
  return out;
}

}  // namespace

std::string IconFileName(int size) {
  return "icon-" + std::to_string(size) + ".png";
}

std::string DeviceIconPng(int size) {
  // Each row: filter type 0, then RGB. The triangle points right and sits in the middle.
  std::string raw;
  raw.reserve(static_cast<size_t>(size) * (1 + 3 * size));
  const double left = size * 0.36, right = size * 0.72, middle = size / 2.0;
  const double half = size * 0.22;
  for (int y = 0; y < size; ++y) {
    raw += '\0';
    for (int x = 0; x < size; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      const double reach = half * (right - px) / (right - left);  // half height at this x
      const bool play = px >= left && px <= right && py >= middle - reach && py <= middle + reach;
      raw += static_cast<char>(play ? 0xFF : 0x1E);
      raw += static_cast<char>(play ? 0xFF : 0x5A);
      raw += static_cast<char>(play ? 0xFF : 0xB4);
    }
  }
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  AppendBE32(header, static_cast<uint32_t>(size));
  AppendBE32(header, static_cast<uint32_t>(size));
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", StoredZlib(raw));
  AppendChunk(png, "IEND", "");
  return png;
}

}  // namespace vidoria
