// Writing a picture of one flat colour as a baseline JPEG file.
//
// Every 8x8 block of such a picture has the same DC value and no AC energy, so the encoder needs
// no transform: each block is one DC difference and an end-of-block code.
#pragma once

#include <cstdint>
#include <vector>

namespace vidoria::assets {

struct Rgb {
  uint8_t r, g, b;
};

// The bytes of a JFIF file, width x height (each at least 1), 4:4:4 YCbCr, quantisation 1.
std::vector<uint8_t> EncodeFlatJpeg(int width, int height, Rgb colour);

}  // namespace vidoria::assets
