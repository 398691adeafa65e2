// Shows a text (the server's address) as a QR code, so that a phone's camera can open it.
#pragma once

#include <QString>
#include <QWidget>

#include "app/qr_matrix.h"

namespace vidoria {

// Main thread only. Draws the code in black on white with a quiet zone of four modules on
// each side, every module a whole number of pixels (as large as the widget allows, at least
// one), centred. Hidden while the text is empty (or cannot be encoded), shown again when a
// text is set while the widget's parent is visible.
class QrCodeWidget : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kQuietModules = 4;

  explicit QrCodeWidget(QWidget* parent = nullptr);

  void SetText(const QString& text);
  const QString& Text() const { return text_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int SideModules() const { return matrix_.size + 2 * kQuietModules; }

  QString text_;
  QrMatrix matrix_;
};

}  // namespace vidoria
