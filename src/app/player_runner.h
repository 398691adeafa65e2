// Runs the preview player on one file at a time and hands its console output to the window
// line by line, a tick's lines at a time.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "platform/process_runner.h"

namespace vidoria {

// Play, Start, Stop and the signals live on the thread that owns the runner (the main thread).
// The player's output is read on a thread of the process runner as fast as the player writes
// it (a player whose output waits for a busy window plays slower than its clip), and handed to
// the owner every kPumpMs. The player is started without a shell, with stdin on /dev/null and
// stdout and stderr merged, in a process group of its own, so that Stop ends it together with
// anything it started; no other process is ever signalled.
//
// The player's exit status says nothing (the player exits 0 even when it could not open the
// file), so the end carries none.
class PlayerRunner : public QObject {
  Q_OBJECT

 public:
  static constexpr int kPumpMs = 100;

  explicit PlayerRunner(QObject* parent = nullptr);
  ~PlayerRunner() override;  // ends a running player without emitting anything

  // Plays `path` with `dataFolder` + "mplayer" (dataFolder ends in '/') and the arguments
  // "-v" and `path`.
  bool Play(const QString& dataFolder, const QString& path);
  // Starts `program` with `arguments`. A player that still runs is ended first, and its
  // remaining lines and its Ended() are delivered before this one starts. Returns false when
  // the program cannot be started (missing, not executable); ErrorText() then says why, and
  // Busy() is false.
  bool Start(const QString& program, const QStringList& arguments);

  // Ends the running player at once (its group; see ProcessRunner::Stop). Ended() follows from
  // the event loop. Does nothing when no player runs.
  void Stop();

  // From a successful start until Ended() has been emitted.
  bool Busy() const { return busy_; }
  // Why the last start failed; empty after a successful one.
  const QString& ErrorText() const { return errorText_; }

 signals:
  // One line of output: lines end at CR, LF or CR LF, and terminal control sequences are
  // dropped. Text is taken as UTF-8.
  void Line(const QString& line);
  // The lines of one hand-over have all been emitted (at most once every kPumpMs).
  void LinesDelivered();
  // The player has ended (by itself or by Stop); every line came before this.
  void Ended();

 private:
  void Pump();

  std::unique_ptr<ProcessRunner> process_;
  QTimer pumpTimer_;
  bool busy_ = false;
  bool ended_ = false;  // the runner handed out the end during the current pump
  int delivered_ = 0;   // lines emitted during the current pump
  QString errorText_;
};

}  // namespace vidoria
