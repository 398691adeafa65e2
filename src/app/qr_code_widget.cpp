#include "app/qr_code_widget.h"

#include <QPainter>
#include <algorithm>

namespace vidoria {

namespace {

// Pixels per module in the size hint: comfortably read by phone cameras from a screen.
constexpr int kHintModulePixels = 4;

}  // namespace

QrCodeWidget::QrCodeWidget(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  setVisible(false);
}

void QrCodeWidget::SetText(const QString& text) {
  text_ = text;
  const QByteArray bytes = text.toUtf8();
  matrix_ = EncodeQr(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  updateGeometry();
  update();
  setVisible(matrix_.size > 0);
}

QSize QrCodeWidget::sizeHint() const {
  if (matrix_.size == 0) return {0, 0};
  const int side = SideModules() * kHintModulePixels;
  return {side, side};
}

QSize QrCodeWidget::minimumSizeHint() const {
  if (matrix_.size == 0) return {0, 0};
  return {SideModules(), SideModules()};
}

void QrCodeWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  if (matrix_.size == 0) return;
  const int module = std::max(1, std::min(width(), height()) / SideModules());
  const int side = module * SideModules();
  const int left = (width() - side) / 2 + module * kQuietModules;
  const int top = (height() - side) / 2 + module * kQuietModules;
  for (int y = 0; y < matrix_.size; ++y) {
    for (int x = 0; x < matrix_.size; ++x) {
      if (matrix_.Dark(x, y)) {
        painter.fillRect(left + x * module, top + y * module, module, module, Qt::black);
      }
    }
  }
}

}  // namespace vidoria
