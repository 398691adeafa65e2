// Runs the preview player on one file at a time and hands its console output to the window
// line by line.
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "library/process_runner_output.h"

namespace vidoria {

// Main thread only: Play, Stop and the signals all live on the thread that owns the runner
// (the process is its child QObject). The player is started without a shell, with stdin on
// /dev/null and stdout and stderr merged, in a process group of its own, so that Stop ends it
// together with anything it started; no other process is ever signalled.
//
// The player's exit status says nothing (the player exits 0 even when it could not open the
// file), so the end carries none.
class PlayerRunner : public QObject {
  Q_OBJECT

 public:
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

  // Ends the running player at once (SIGKILL to its group). Ended() follows from the event
  // loop. Does nothing when no player runs.
  void Stop();

  // From a successful start until Ended() has been emitted.
  bool Busy() const { return busy_; }
  // Why the last start failed; empty after a successful one.
  const QString& ErrorText() const { return errorText_; }

 signals:
  // One line of output: lines end at CR, LF or CR LF, and terminal control sequences are
  // dropped. Text is taken as UTF-8.
  void Line(const QString& line);
  // The player has ended (by itself or by Stop); every line came before this.
  void Ended();

 private:
  void ReadOutput();
  void ProcessEnded();
  void Emit(std::vector<std::string>& lines);

  QProcess* process_ = nullptr;  // child of this object; one per run
  OutputLines splitter_;
  bool busy_ = false;
  QString errorText_;
};

}  // namespace vidoria
