// Scanning a large folder tree into an empty library, against `find` listing the same tree.
// Usage: scan_bench [FILES] [FOLDER]   (defaults: 100000 files under /tmp/vidoria-scan-bench)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "library/activity_log.h"
#include "library/scanner.h"
#include "library/table.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Nested folders, four files in five of them .mp4 and the rest other extensions, as a video
// collection with notes and pictures beside the films looks.
void MakeTree(const fs::path& root, int files) {
  const char* extensions[] = {"mp4", "MP4", "jpg", "txt", "mp4", "srt", "mp4", "nfo"};
  int made = 0;
  for (int a = 0; made < files; ++a) {
    for (int b = 0; b < 20 && made < files; ++b) {
      const fs::path folder =
          root / ("shelf " + std::to_string(a)) / ("season " + std::to_string(b));
      fs::create_directories(folder);
      for (int c = 0; c < 25 && made < files; ++c, ++made) {
        std::ofstream(folder / ("episode " + std::to_string(c) + "." + extensions[made % 8]));
      }
    }
  }
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
  const fs::path root = argc > 2 ? argv[2] : "/tmp/vidoria-scan-bench";
  const fs::path marker = root / (".made-" + std::to_string(files));
  if (!fs::exists(marker)) {
    fs::remove_all(root);
    MakeTree(root, files);
    std::ofstream{marker};
  }
  // Warm the cache for both, then time each.
  const std::string find = "find '" + root.string() + "' -type f > /dev/null";
  if (std::system(find.c_str()) != 0) return 1;
  auto start = Clock::now();
  if (std::system(find.c_str()) != 0) return 1;
  const double findSeconds = Seconds(start);

  vidoria::ActivityLog log([] { return std::string("-"); });
  vidoria::StatusBoard status(log);
  vidoria::Table libraryTable(4, 1);
  vidoria::Scanner scanner(libraryTable, status);
  scanner.Queue(root.string() + "/");
  start = Clock::now();
  scanner.ScanPass();
  const double scanSeconds = Seconds(start);

  std::printf("files in tree:        %d\n", files);
  std::printf("library rows added:   %d\n", libraryTable.RowCount());
  std::printf("find -type f:         %.3f s\n", findSeconds);
  std::printf("scan into library:    %.3f s (%.0f files/s)\n", scanSeconds, files / scanSeconds);
  std::printf("ratio scan/find:      %.2fx (goal: at most 2x)\n", scanSeconds / findSeconds);
  return 0;
}
