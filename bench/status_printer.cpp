// A stand-in for the preview player: start-up chatter, then a playback status line ended by CR
// at a fixed rate, as the real player prints them, for a fixed time.
// Usage: status_printer SECONDS LINES_PER_SECOND [ignored player arguments...]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
  const int rate = argc > 2 ? std::atoi(argv[2]) : 200;
  std::printf("MPlayer stand-in\nCPU vendor name: GenuineIntel  max cpuid level: 13\n");
  std::printf("Playing %s.\n title: Bench clip\n", argc > 4 ? argv[4] : "clip.mp4");
  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  const auto step = std::chrono::microseconds(1000000 / (rate > 0 ? rate : 1));
  auto next = start;
  for (int i = 0;; ++i) {
    const double at = std::chrono::duration<double>(next - start).count();
    if (at >= seconds) break;
    std::printf("A:%6.1f V:%6.1f A-V:  0.000 ct:  0.000 %4d/%4d  1%%  1%%  0.1%% 0 0 \x1b[J\r", at,
                at, i, i);
    std::fflush(stdout);
    next += step;
    std::this_thread::sleep_until(next);
  }
  std::printf("\nExiting... (End of file)\n");
  return 0;
}
