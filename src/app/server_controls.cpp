#include "app/server_controls.h"

#include <QMetaObject>

#include "engine/address.h"
#include "library/settings.h"

namespace vidoria {

QString PortProblem(const QString& text) {
  bool ok = false;
  const int port = text.trimmed().toInt(&ok);
  if (ok && port >= 1 && port <= 65535) return {};
  return QStringLiteral("The server port must be a whole number from 1 to 65535; \"%1\" is not.")
      .arg(text);
}

ServerControls::ServerControls(Engine& engine, Dialogs& dialogs, StatusBar& bar,
                               StreamingPane& view, QObject* parent)
    : QObject(parent), engine_(engine), dialogs_(dialogs), bar_(bar), view_(view) {
  lookUpAddress = [] { return LanAddress(); };
  meterTimer_.setInterval(kMeterMs);
  connect(&meterTimer_, &QTimer::timeout, this, &ServerControls::MeterTick);
  ServerNotifications notifications;
  notifications.listening = [this] { Listening(); };
  notifications.stopped = [this] { Stopped(); };
  notifications.listenFailed = [this](const std::string& className, const std::string& message) {
    ListenFailed(className, message);
  };
  engine_.SetServerNotifications(std::move(notifications));
}

void ServerControls::Start() {
  const std::string port = std::to_string(PortValue(engine_.CurrentSettings().port));
  if (QString problem = PortProblem(QString::fromStdString(port)); !problem.isEmpty()) {
    dialogs_.ShowError(problem);
    return;
  }
  view_.port->setEnabled(false);
  const std::string address = lookUpAddress();
  if (address.empty()) {
    // The link keeps what it showed; phones need the address, but the server starts anyway.
    dialogs_.ShowError(QStringLiteral("This computer's network address could not be found."));
  } else {
    bar_.SetAddress(QString::fromStdString("http://" + address + ":" + port));
  }
  meter_.Start();
  engine_.TakeBytesSent();  // bytes of an earlier run do not count
  ShowMeter();
  engine_.StartServer();
  meterTimer_.start();
  bar_.addressLink->show();
  view_.addressCode->SetText(bar_.Address());
  view_.copyAddress->setEnabled(!bar_.Address().isEmpty());
  engine_.Status().Clear();
}

void ServerControls::Stop() {
  engine_.StopServer();
  meterTimer_.stop();
  bar_.addressLink->hide();
  view_.addressCode->SetText(QString());
  view_.copyAddress->setEnabled(false);
  view_.port->setEnabled(true);
}

void ServerControls::MeterTick() {
  meter_.Tick(engine_.TakeBytesSent());
  ShowMeter();
}

void ServerControls::ShowMeter() {
  view_.currentRate->setText(QString::fromStdString(meter_.CurrentText()));
  view_.totalAmount->setText(QString::fromStdString(meter_.TotalText()));
  view_.peakRate->setText(QString::fromStdString(meter_.PeakText()));
}

void ServerControls::Listening() {
  bar_.stopStreaming->setEnabled(true);
  bar_.startStreaming->setEnabled(false);
}

void ServerControls::Stopped() {
  engine_.Status().Show("Server stopped.");
  bar_.status->setText(QStringLiteral("Server stopped."));
  bar_.stopStreaming->setEnabled(false);
  bar_.startStreaming->setEnabled(true);
}

void ServerControls::ListenFailed(const std::string& className, const std::string& message) {
  // Nothing listens at the address: a phone scanning the code would find nothing.
  bar_.addressLink->hide();
  view_.addressCode->SetText(QString());
  view_.copyAddress->setEnabled(false);
  // Notifications arrive inside the engine's tick; the box waits for the event loop instead of
  // holding the tick open.
  const QString text = QStringLiteral("Error starting WebServer!\r\n") +
                       QString::fromStdString(className + ">" + message);
  QMetaObject::invokeMethod(
      this,
      [this, text] {
        // Closed meanwhile (SIGTERM included): the program is ending, and a box now would hold
        // it until someone answers.
        if (bar_.window()->isHidden()) return;
        dialogs_.ShowMessage(text);
      },
      Qt::QueuedConnection);
}

}  // namespace vidoria
