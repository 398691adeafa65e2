// The Streaming view: the server's port, the start-up switches, the traffic meter, the web
// login's switch and credentials, and the address as a QR code. It holds controls only; the
// window connects them to the engine and the server controls.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "app/qr_code_widget.h"
#include "app/view_parts.h"

namespace vidoria {

// Main thread only. The child widgets are owned by the view and live as long as it does.
class StreamingPane : public QWidget {
  Q_OBJECT

 public:
  explicit StreamingPane(QWidget* parent = nullptr);

  // The login fields are shown exactly while "Require login" is ticked, the autostart box
  // exactly while "Start server when program starts" is ticked.
  void UpdateVisibility();

  TitleBar* title;
  QLineEdit* port;  // "80" at first; disabled while the server runs
  QCheckBox* autorun;
  QCheckBox* autostart;
  QLabel* currentRate;
  QLabel* totalAmount;
  QLabel* peakRate;
  // The UPnP media server beside the web server; stored in its own file at once.
  QCheckBox* sharing;
  QCheckBox* login;
  QLineEdit* username;
  QLineEdit* password;        // masked
  QrCodeWidget* addressCode;  // hidden while the server is stopped
  QPushButton* copyAddress;

 private:
  QLabel* usernameLabel_;
  QLabel* passwordLabel_;
};

}  // namespace vidoria
