#include "app/qr_matrix.h"

#include <qrencode.h>

#include <memory>

namespace vidoria {

QrMatrix EncodeQr(std::string_view text) {
  QrMatrix matrix;
  if (text.empty()) return matrix;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
      QRcode_encodeData(static_cast<int>(text.size()), bytes, 0, QR_ECLEVEL_M), &QRcode_free);
  if (code == nullptr) return matrix;
  matrix.size = code->width;
  matrix.dark.resize(static_cast<size_t>(code->width) * code->width);
  for (size_t i = 0; i < matrix.dark.size(); ++i) matrix.dark[i] = (code->data[i] & 1) != 0;
  return matrix;
}

}  // namespace vidoria
