// A second start of the desktop program on a data folder another program already runs on.
//
// The window that holds the folder listens on a local socket of its own, one per data folder,
// in the user's runtime folder ($XDG_RUNTIME_DIR) under a name made from the folder's real path,
// so every spelling of the same folder meets the same window. A second start that finds the
// folder claimed asks through it for the window to come to the front, and ends; when nobody
// answers (the holder is vidoriad, or the window is still starting or too busy to answer), it
// says so in a box instead.
//
// Main thread only: these are Qt objects and blocking socket calls of the main thread.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>

#include "app/dialogs.h"

class QLocalSocket;

namespace vidoria {

// How long a second start waits for each step of the running window's answer.
inline constexpr int kRaiseWaitMs = 10000;

// The socket's full path: <runtime folder>/vidoria-<hash of the data folder's real path>.
QString RaiseSocketPath(const std::string& dataFolder);

// The running window's side. Make it only while holding the data folder's lock: it replaces
// the socket file a window killed earlier left behind, which is safe only for the holder.
class RaiseListener : public QObject {
  Q_OBJECT

 public:
  // `window` is not owned and may go first; then requests are still answered.
  RaiseListener(const std::string& dataFolder, QWidget* window, QObject* parent = nullptr);
  bool Listening() const { return server_.isListening(); }

 signals:
  // A second start asked, and the window (and a box it waits on) came to the front.
  void Raised();

 private:
  void Accept();
  void Read(QLocalSocket* socket);
  void Raise();

  QLocalServer server_;
  QPointer<QWidget> window_;
};

// The second start's side: asks the window running on `dataFolder` to come to the front. True
// when it answered that it did; false when no window listens there or it did not answer within
// `waitMs` for a step.
bool AskRunningWindowToRaise(const std::string& dataFolder, int waitMs = kRaiseWaitMs);

// All a second start does: the running window comes to the front, or the box says
// "Vidoria is already running for this data folder.". Touches nothing in the data folder.
// Returns the program's exit code: 0.
int RefuseSecondStart(const std::string& dataFolder, Dialogs& dialogs);

}  // namespace vidoria
