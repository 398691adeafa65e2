#include "assets/jpeg_writer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdlib>

namespace vidoria::assets {

namespace {

// The DC table of the JPEG standard's examples (luminance): code lengths per category 0..11.
constexpr std::array<uint8_t, 16> kDcCounts = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<uint8_t, 12> kDcSymbols = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
// An AC table holding only end-of-block (0x00), as a one-bit code "0".
constexpr std::array<uint8_t, 16> kAcCounts = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

struct Code {
  uint16_t bits = 0;
  int length = 0;
};

// Canonical Huffman codes: shorter first, consecutive within one length.
std::array<Code, 12> DcCodes() {
  std::array<Code, 12> codes{};
  uint16_t code = 0;
  size_t symbol = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int i = 0; i < kDcCounts[static_cast<size_t>(length - 1)]; ++i) {
      codes[kDcSymbols[symbol++]] = {code++, length};
    }
    code = static_cast<uint16_t>(code << 1);
  }
  return codes;
}

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void Put(uint32_t bits, int length) {
    for (int i = length - 1; i >= 0; --i) {
      byte_ = static_cast<uint8_t>((byte_ << 1) | ((bits >> i) & 1));
      if (++filled_ == 8) Flush();
    }
  }
  // Pads the last byte with one-bits, as the format asks.
  void Finish() {
    while (filled_ != 0) Put(1, 1);
  }

 private:
  void Flush() {
    out_.push_back(byte_);
    if (byte_ == 0xFF) out_.push_back(0x00);  // a marker never appears inside the data
    byte_ = 0;
    filled_ = 0;
  }
  std::vector<uint8_t>& out_;
  uint8_t byte_ = 0;
  int filled_ = 0;
};

void Put16(std::vector<uint8_t>& out, int value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

int Category(int value) {
  int magnitude = std::abs(value), bits = 0;
  while (magnitude > 0) {
    magnitude >>= 1;
    ++bits;
  }
  return bits;
}

// The DC coefficient of a flat block of `sample`: 8 * (sample - 128) with quantisation 1.
int FlatDc(double sample) {
  return 8 * (static_cast<int>(std::lround(std::clamp(sample, 0.0, 255.0))) - 128);
}

}  // namespace

std::vector<uint8_t> EncodeFlatJpeg(int width, int height, Rgb colour) {
  assert(width >= 1 && height >= 1 && width <= 65535 && height <= 65535);
  std::vector<uint8_t> out = {0xFF, 0xD8};  // start of image

  out.insert(out.end(), {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});

  out.insert(out.end(), {0xFF, 0xDB, 0, 67, 0x00});  // one 8-bit quantisation table, id 0
  out.insert(out.end(), 64, 1);

  out.insert(out.end(), {0xFF, 0xC0, 0, 17, 8});  // baseline frame, 8-bit samples
  Put16(out, height);
  Put16(out, width);
  out.insert(out.end(), {3, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0});

  out.insert(out.end(), {0xFF, 0xC4});
  Put16(out, 2 + 17 + static_cast<int>(kDcSymbols.size()) + 17 + 1);
  out.push_back(0x00);  // DC table 0
  out.insert(out.end(), kDcCounts.begin(), kDcCounts.end());
  out.insert(out.end(), kDcSymbols.begin(), kDcSymbols.end());
  out.push_back(0x10);  // AC table 0
  out.insert(out.end(), kAcCounts.begin(), kAcCounts.end());
  out.push_back(0x00);

  out.insert(out.end(), {0xFF, 0xDA, 0, 12, 3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0});

  const double r = colour.r, g = colour.g, b = colour.b;
  const std::array<int, 3> dc = {
      FlatDc(0.299 * r + 0.587 * g + 0.114 * b),
      FlatDc(128 - 0.168736 * r - 0.331264 * g + 0.5 * b),
      FlatDc(128 + 0.5 * r - 0.418688 * g - 0.081312 * b),
  };
  const std::array<Code, 12> dcCodes = DcCodes();
  const Code endOfBlock{0, 1};
  std::array<int, 3> previous = {0, 0, 0};
  BitWriter bits(out);
  const int blocks = ((width + 7) / 8) * ((height + 7) / 8);
  for (int block = 0; block < blocks; ++block) {
    for (size_t component = 0; component < 3; ++component) {
      const int diff = dc[component] - previous[component];
      previous[component] = dc[component];
      const int category = Category(diff);
      bits.Put(dcCodes[static_cast<size_t>(category)].bits,
               dcCodes[static_cast<size_t>(category)].length);
      // Negative values are sent as their one's complement in `category` bits.
      if (category > 0) bits.Put(static_cast<uint32_t>(diff < 0 ? diff - 1 : diff), category);
      bits.Put(endOfBlock.bits, endOfBlock.length);
    }
  }
  bits.Finish();
  out.insert(out.end(), {0xFF, 0xD9});  // end of image
  return out;
}

}  // namespace vidoria::assets
