// Writing RGBA pictures as PNG files, uncompressed (zlib stored blocks): icons are a few
// kilobytes either way, and the encoder stays small enough to read at a glance.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vidoria::assets {

// CRC-32 as PNG chunks carry it (polynomial 0xEDB88320, reflected, inverted).
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
// Adler-32 as a zlib stream ends with it.
uint32_t Adler32(const uint8_t* data, size_t size);

// The bytes of a PNG file: 8-bit RGBA, `rgba` holding width * height * 4 bytes, rows top down.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgba);

// Writes the bytes to `path`; false when the file could not be written.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vidoria::assets
