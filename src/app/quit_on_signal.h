// SIGTERM and SIGINT close the main window the way the user closing it would: open modal
// dialogs are dismissed first, then the window gets its close event (which stops the server and
// saves), and the application ends as it does after any close.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

namespace vidoria {

// At most one instance at a time. Construct and destroy it on the main thread, after the
// QApplication exists. The signal handler only writes the signal's number into a pipe (so any
// thread may receive the signal); the main thread reads the pipe through a QSocketNotifier, also
// inside the nested event loop of a modal dialog, and acts there.
//
// While it exists the two signals no longer end the process by themselves; the destructor puts
// back the handlers that were there before.
class QuitOnSignal : public QObject {
  Q_OBJECT

 public:
  // `window` is not owned; when it is gone by the time a signal comes, only the modal
  // dialogs are dismissed.
  explicit QuitOnSignal(QWidget* window, QObject* parent = nullptr);
  ~QuitOnSignal() override;
  QuitOnSignal(const QuitOnSignal&) = delete;
  QuitOnSignal& operator=(const QuitOnSignal&) = delete;

 signals:
  // After the dialogs were dismissed and the window was asked to close.
  void Handled(int signalNumber);

 private:
  void ReadSignals();

  QPointer<QWidget> window_;
  int readFd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vidoria
