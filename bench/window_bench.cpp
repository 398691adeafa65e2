// The desktop window at real sizes: the longest stall of its event loop while it scans 2,000,
// 20,000 and 100,000 files, while a stand-in player prints 200 status lines a second, while the
// real player plays a clip, and while a search is typed into a 20,000-row library.
// Usage: window_bench [--quick] [scan|play|search]...
//   (QT_QPA_PLATFORM=offscreen; --quick skips 100,000 files; no part named: every part)
#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "app/window_test_rig.h"

using namespace vidoria;
using namespace vidoria::testing;
namespace fs = std::filesystem;

namespace {

constexpr int kProbeMs = 5;

// Measures the event loop's longest gap between two turns of a kProbeMs timer.
class StallProbe {
 public:
  StallProbe() {
    timer_.setInterval(kProbeMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.nsecsElapsed();
      if (last_ >= 0 && now - last_ > longest_) {
        longest_ = now - last_;
        longestAt_ = last_;
      }
      last_ = now;
      if (onTurn_) onTurn_();
    });
  }
  void Start(std::function<void()> onTurn = {}) {
    onTurn_ = std::move(onTurn);
    longest_ = 0;
    last_ = -1;
    clock_.start();
    timer_.start();
  }
  // The longest stall beyond the probe's own interval, in ms.
  double Stop() {
    timer_.stop();
    if (std::getenv("WINDOW_BENCH_VERBOSE"))
      std::fprintf(stderr, "longest stall began %.3f s after the start\n", longestAt_ / 1e9);
    return std::max(0.0, longest_ / 1e6 - kProbeMs);
  }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = -1;
  qint64 longestAt_ = 0;
  qint64 longest_ = 0;
  std::function<void()> onTurn_;
};

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Serves the event loop until `done` or `limitS` seconds.
bool ServeUntil(const std::function<bool()>& done, double limitS) {
  const auto start = std::chrono::steady_clock::now();
  while (!done()) {
    if (Since(start) > limitS) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Folders of 500 empty .mp4 files, made once and kept for later runs.
std::string MakeTree(int files) {
  const fs::path root =
      fs::temp_directory_path() / ("vidoria-window-bench-" + std::to_string(files));
  const fs::path marker = root / ".made";
  if (!fs::exists(marker)) {
    fs::remove_all(root);
    for (int made = 0; made < files; ++made) {
      const fs::path folder = root / ("shelf " + std::to_string(made / 500));
      if (made % 500 == 0) fs::create_directories(folder);
      std::ofstream(folder / ("clip " + std::to_string(made) + ".mp4"));
    }
    std::ofstream{marker};
  }
  return root.string() + "/";
}

void WaitForFirstGeneration(MainWindow& window) {
  ServeUntil([] { return false; }, 1.5);
  (void)window;
}

struct ScanFigures {
  double stallMs = 0;
  double windowS = 0;  // from the pass's begin to the list showing every file
  double engineS = 0;  // the same pass on an engine without a window
  bool complete = false;
};

ScanFigures Scan(int files) {
  const std::string tree = MakeTree(files);
  ScanFigures figures;
  {
    // The engine alone, as vidoriad runs it.
    TestHome home;
    TestHome::Write(home.Data() + "settings.kavra", TestHome::Settings(80));
    Engine engine(home.Options(&TestCore()));
    engine.Create();
    engine.QueueDropped({tree});
    const auto start = std::chrono::steady_clock::now();
    engine.ScanWatchedFolders();
    while (engine.Scanning()) {
      engine.Tick(Engine::Clock::now());
      if (engine.Scanning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    figures.engineS = Since(start);
    engine.Destroy();
  }
  WindowRig rig;
  TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
  MainWindow& window = rig.Make();
  WaitForFirstGeneration(window);
  StallProbe probe;
  probe.Start();
  // The pass the scan timer would begin two seconds later, begun now.
  window.GetEngine().QueueDropped({tree});
  const auto passStart = std::chrono::steady_clock::now();
  window.GetEngine().ScanWatchedFolders();
  figures.complete = ServeUntil(
      [&] {
        return !window.GetEngine().Scanning() && window.GetLibraryPane()->list->count() == files;
      },
      600);
  figures.windowS = Since(passStart);
  ServeUntil([] { return false; }, 0.2);  // the probe's next turn measures the last stall
  figures.stallMs = probe.Stop();
  rig.CloseAndDestroy();
  return figures;
}

struct PlayFigures {
  double stallMs = 0;
  double windowS = 0;
  double aloneS = 0;
};

// Plays `path` through the window with `player` as the data folder's mplayer; `alone` is the
// same player started by a shell, its output thrown away.
PlayFigures Play(const QByteArray& player, const QString& path, const std::string& alone) {
  PlayFigures figures;
  auto start = std::chrono::steady_clock::now();
  if (std::system((alone + " > /dev/null 2>&1").c_str()) != 0) return figures;
  figures.aloneS = Since(start);
  WindowRig rig;
  TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
  TestHome::Write(rig.home.Data() + "mplayer", player, /*executable=*/true);
  MainWindow& window = rig.Make();
  WaitForFirstGeneration(window);
  StallProbe probe;
  probe.Start();
  start = std::chrono::steady_clock::now();
  window.Player().Play({path.toStdString()});
  ServeUntil([&] { return !window.Player().Busy(); }, 600);
  figures.windowS = Since(start);
  ServeUntil([] { return false; }, 0.2);
  figures.stallMs = probe.Stop();
  rig.CloseAndDestroy();
  return figures;
}

// Types ten letters into the search field of a library of `rows` rows, one every 100 ms.
double Search(int rows) {
  WindowRig rig;
  TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
  std::vector<std::vector<std::string>> grid;
  const char* words[] = {"Holiday", "Harbour", "Hollow", "Garden", "Summer", "Winter"};
  for (int i = 0; i < rows; ++i) {
    const std::string name =
        std::string(words[i % 6]) + " " + words[(i / 6) % 6] + " " + std::to_string(i) + ".mp4";
    grid.push_back({"MOVIE", "/v/" + name, name, "1:01:40"});
  }
  TestHome::Write(rig.home.Data() + "LIBRARY.kavra", TestHome::Grid(4, grid));
  MainWindow& window = rig.Make();
  WaitForFirstGeneration(window);
  StallProbe probe;
  probe.Start();
  for (const char letter : std::string("holiday ho")) {
    QTest::keyClick(window.GetLibraryPane()->search, letter);
    ServeUntil([] { return false; }, 0.1);
  }
  ServeUntil([] { return false; }, 0.5);
  const double stall = probe.Stop();
  rig.CloseAndDestroy();
  return stall;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  bool quick = false;
  std::set<std::string> parts;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--quick") {
      quick = true;
    } else {
      parts.insert(argv[i]);
    }
  }
  const auto wanted = [&parts](const char* part) { return parts.empty() || parts.contains(part); };
  std::printf("| what the window does | longest stall ms | wall s | peer s | ratio | goal |\n");
  std::printf("|---|---:|---:|---:|---:|---|\n");
  std::vector<int> sizes;
  if (wanted("scan")) sizes = {2000, 20000};
  if (wanted("scan") && !quick) sizes.push_back(100000);
  for (int files : sizes) {
    const ScanFigures f = Scan(files);
    std::printf(
        "| scans %d files%s | %.1f | %.2f | %.2f (engine alone) | %.2f | stall <= 100 ms%s |\n",
        files, f.complete ? "" : " (INCOMPLETE)", f.stallMs, f.windowS, f.engineS,
        f.windowS / f.engineS, files == 100000 ? ", wall <= 2x engine" : "");
    std::fflush(stdout);
  }
  const QString printer = QCoreApplication::applicationDirPath() + "/status_printer";
  if (wanted("play")) {
    const PlayFigures f = Play("#!/bin/sh\nexec '" + printer.toUtf8() + "' 10 200 \"$@\"\n",
                               "/v/clip.mp4", (printer + " 10 200").toStdString());
    std::printf(
        "| plays with a stand-in printing 200 status lines/s for 10 s | %.1f | %.2f | %.2f "
        "(stand-in alone) | %.2f | stall <= 100 ms |\n",
        f.stallMs, f.windowS, f.aloneS, f.windowS / f.aloneS);
    std::fflush(stdout);
  }
  const QString mplayer = QStandardPaths::findExecutable("mplayer");
  const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
  if (wanted("play") && !mplayer.isEmpty() && !ffmpeg.isEmpty()) {
    const std::string clip = (fs::temp_directory_path() / "vidoria-window-bench-clip.mp4").string();
    if (!fs::exists(clip)) {
      const std::string make = ffmpeg.toStdString() +
                               " -v error -y -f lavfi -i testsrc=duration=30:size=1280x720:rate=25"
                               " -f lavfi -i sine=duration=30 -c:v libx264 -preset ultrafast"
                               " -c:a aac '" +
                               clip + "'";
      if (std::system(make.c_str()) != 0) return 1;
    }
    const std::string args = " -vo null -ao null";
    const PlayFigures f =
        Play("#!/bin/sh\nexec '" + mplayer.toUtf8() + "'" + QByteArray::fromStdString(args) +
                 " \"$@\"\n",
             QString::fromStdString(clip), mplayer.toStdString() + args + " -v '" + clip + "'");
    std::printf(
        "| plays a 30 s 720p clip with mplayer -v | %.1f | %.2f | %.2f (mplayer alone) | "
        "%.2f | stall <= 100 ms, wall <= 1.1x |\n",
        f.stallMs, f.windowS, f.aloneS, f.windowS / f.aloneS);
    std::fflush(stdout);
  }
  if (wanted("search")) {
    std::printf("| a 10-letter search typed at 20,000 rows | %.1f | | | | stall <= 100 ms |\n",
                Search(20000));
  }
  ShutDownTestCore();
  return 0;
}
