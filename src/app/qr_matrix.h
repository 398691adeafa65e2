// A text as the modules of a QR code (libqrencode), for the window to draw.
#pragma once

#include <string_view>
#include <vector>

namespace vidoria {

struct QrMatrix {
  int size = 0;            // modules per side; 0: nothing to draw
  std::vector<bool> dark;  // size * size, row by row

  bool Dark(int x, int y) const { return dark[static_cast<size_t>(y) * size + x]; }
};

// Encodes the bytes of `text` (UTF-8) with medium error correction in the smallest version
// that holds them. An empty text, or one too long for any version, gives an empty matrix.
// Any thread.
QrMatrix EncodeQr(std::string_view text);

}  // namespace vidoria
