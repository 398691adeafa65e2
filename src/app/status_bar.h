// The window's bottom bar: the two playlist buttons, the status text, the server's address link
// and the server's Stop and Start buttons. It holds controls only; the window connects them.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

#include "app/view_parts.h"

namespace vidoria {

// Main thread only. The child widgets are owned by the bar and live as long as it does.
class StatusBar : public QWidget {
  Q_OBJECT

 public:
  explicit StatusBar(QWidget* parent = nullptr);

  void SetStatus(const QString& text);
  QString Status() const { return status->text(); }
  // "http://<address>:<port>" as caption and target.
  void SetAddress(const QString& address);
  const QString& Address() const { return address_; }

  QToolButton* createPlaylist;
  QToolButton* removePlaylist;  // shown only while a playlist node is selected
  QLabel* status;
  QLabel* addressLink;  // hidden until the server is started; a click opens the browser
  QPushButton* stopStreaming;
  QPushButton* startStreaming;

 signals:
  // The address link was clicked while it has a target.
  void AddressClicked(const QString& address);

 private:
  QString address_;  // empty until the first successful address lookup
};

}  // namespace vidoria
