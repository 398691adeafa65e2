// Site generation at library sizes of 1,000, 10,000 and 100,000 rows: the library pages and list
// files, then the pages and list files of 100 playlists of 100 items each. The media files are
// real (empty) files in a temporary folder, checked as the program checks them (ExistingFiles:
// the folder read once per generation, a stat(2) where its listing cannot say).
// Prints median times; the peer is the join as first described (the table walked once per
// sorted entry), timed where it finishes in reasonable time.
//
// Usage: site_bench [rounds]   (default 5)
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "library/table.h"
#include "site/file_exists.h"
#include "site/library_pages.h"
#include "site/name_join.h"
#include "site/page_buffers.h"
#include "site/playlist_pages.h"
#include "site/playlists_page.h"

namespace vidoria {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPlaylists = 100;
constexpr int kItemsPerPlaylist = 100;

double CpuMs() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Median wall and CPU time of the rounds. On a machine shared with other work the wall time
// includes waiting for a core; the process CPU time (user and system) does not.
struct Times {
  double wall = 0;
  double cpu = 0;
};

Times MedianMs(int rounds, const std::function<void()>& work) {
  std::vector<double> walls, cpus;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    const double cpuStart = CpuMs();
    work();
    cpus.push_back(CpuMs() - cpuStart);
    walls.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(walls.begin(), walls.end());
  std::sort(cpus.begin(), cpus.end());
  return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

// Names as a scan finds them: mixed case, spaces, a few non-ASCII, in no particular order.
std::string NameOf(int i) {
  static const char* words[] = {"holiday", "Summer", "birthday", "Garden", "trip", "Café"};
  return std::string(words[i % 6]) + " " + std::to_string((i * 7919) % 1000003) + ".mp4";
}

Table Library(int rows, const std::string& folder) {
  Table grid(4, rows);
  for (int row = 0; row < rows; ++row) {
    const std::string name = NameOf(row);
    grid.SetCell(LibraryColumn::kClass, row, row % 3 == 0 ? "TV" : "MOVIE");
    grid.SetCell(LibraryColumn::kPath, row, folder + name);
    grid.SetCell(LibraryColumn::kName, row, name);
    grid.SetCell(LibraryColumn::kDuration, row, "1:01:40");
  }
  return grid;
}

Table Playlists(int libraryRows, std::mt19937& random) {
  Table playlistTable(2 + kItemsPerPlaylist, kPlaylists);
  for (int row = 0; row < kPlaylists; ++row) {
    playlistTable.SetCell(PlaylistColumn::kName, row, "Playlist " + std::to_string(row + 1));
    for (int item = 0; item < kItemsPerPlaylist; ++item) {
      playlistTable.SetCell(PlaylistColumn::kFirstSlot + item, row,
                            NameOf(static_cast<int>(random() % libraryRows)));
    }
  }
  return playlistTable;
}

std::vector<int> QuadraticJoin(const std::vector<std::string_view>& sorted, const Table& grid) {
  std::vector<int> rows;
  for (std::string_view name : sorted) {
    for (int row = 0; row < grid.RowCount(); ++row) {
      if (grid.Cell(LibraryColumn::kName, row) == name) rows.push_back(row);
    }
  }
  return rows;
}

int Run(int rounds) {
  const int sizes[] = {1000, 10000, 100000};
  char pattern[] = "/tmp/vidoria_site_bench.XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::string folder = std::string(pattern) + "/";
  for (int i = 0; i < sizes[2]; ++i) std::ofstream(folder + NameOf(i));

  std::printf("site generation, median of %d rounds, %d playlists of %d items\n\n", rounds,
              kPlaylists, kItemsPerPlaylist);
  std::printf("%8s %12s %14s %10s %14s %10s %10s %14s\n", "rows", "library ms", "playlists ms",
              "total ms", "total CPU ms", "libHTML MB", "join ms", "quadratic ms");
  std::mt19937 random(1);
  for (int rows : sizes) {
    const Table grid = Library(rows, folder);
    Table playlistTable = Playlists(rows, random);
    Table listFileTable(4, 1);
    PageBuffers pages;
    // Each generation reads its folders afresh, as the program's do.
    const Times library = MedianMs(rounds, [&] {
      ExistingFiles existing;
      GenerateLibrary(grid, playlistTable, std::ref(existing), pages);
    });
    const Times lists = MedianMs(rounds, [&] {
      ExistingFiles existing;
      GenerateEveryPlayList(playlistTable, listFileTable, grid, std::ref(existing), pages);
      GeneratePlayLists(playlistTable, pages);
    });

    // The pages are the same bytes as with one stat per row.
    {
      ExistingFiles existing;
      const LibraryPages listed = LibraryPagesOf(grid, playlistTable, std::ref(existing));
      const LibraryPages stated = LibraryPagesOf(grid, playlistTable, ExistingFile);
      if (listed.library != stated.library || listed.libraryList != stated.libraryList ||
          listed.movies != stated.movies || listed.tvShows != stated.tvShows) {
        std::fprintf(stderr, "pages differ at %d rows\n", rows);
        std::abort();
      }
    }

    std::vector<std::string_view> names;
    for (int row = 0; row < grid.RowCount(); ++row)
      names.push_back(grid.Cell(LibraryColumn::kName, row));
    SortNames(names);
    size_t joined = 0;
    const double join =
        MedianMs(rounds, [&] { joined = JoinNames(names, RowsByName(grid, 2)).size(); }).wall;
    char quadratic[32] = "-";
    if (rows <= 10000) {
      const double ms = MedianMs(1, [&] {
                          if (QuadraticJoin(names, grid).size() != joined) std::abort();
                        }).wall;
      std::snprintf(quadratic, sizeof quadratic, "%.1f", ms);
    }
    std::printf("%8d %12.1f %14.1f %10.1f %14.1f %10.1f %10.2f %14s\n", rows, library.wall,
                lists.wall, library.wall + lists.wall, library.cpu + lists.cpu,
                pages.Get(page::kLibrary)->size() / 1e6, join, quadratic);
  }
  std::filesystem::remove_all(folder);
  std::printf("\ngoal: total under 500 ms at 100000 rows\n");
  return 0;
}

}  // namespace
}  // namespace vidoria

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  return vidoria::Run(rounds);
}
