// The Start and Stop actions of the window, the server's notifications as the window shows them,
// and the traffic meter's once-a-second tick.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "app/dialogs.h"
#include "app/status_bar.h"
#include "app/streaming_pane.h"
#include "app/traffic_meter.h"
#include "engine/engine.h"

namespace vidoria {

// Main thread only. Borrows the engine, the dialogs and the two views (all outlive it). It sets
// the engine's server notifications when constructed.
class ServerControls : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMeterMs = 1000;

  ServerControls(Engine& engine, Dialogs& dialogs, StatusBar& bar, StreamingPane& view,
                 QObject* parent = nullptr);

  // "Start streaming": disables the port field, shows the address, resets the meter, starts
  // the server and the meter's timer. A port outside 1..65535 is refused with a message and
  // nothing starts. The outcome of listening arrives as a notification.
  void Start();
  // "Stop streaming": stops the server and the meter, hides the address, enables the port field.
  void Stop();
  // The meter's step: takes the bytes the server sent since the last step.
  void MeterTick();

  const TrafficMeter& Meter() const { return meter_; }
  bool MeterRunning() const { return meterTimer_.isActive(); }

  // The address lookup; empty means it failed. Tests may replace it.
  std::function<std::string()> lookUpAddress;

 private:
  void ShowMeter();
  void Listening();
  void Stopped();
  void ListenFailed(const std::string& className, const std::string& message);

  Engine& engine_;
  Dialogs& dialogs_;
  StatusBar& bar_;
  StreamingPane& view_;
  TrafficMeter meter_;
  QTimer meterTimer_;
};

// Why the port text cannot be listened on, or empty: it must be a whole number 1 to 65535.
QString PortProblem(const QString& text);

}  // namespace vidoria
