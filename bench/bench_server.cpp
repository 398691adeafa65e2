// The server core under load, as the program will run it: the program's settings, one provider
// that answers every request with the same 10 KiB text, and one web-log line per request.
//
// Usage: bench_server PORT [LOGFOLDER]
// Listens on 127.0.0.1:PORT until SIGTERM or SIGINT. Without LOGFOLDER the log goes to a fresh
// temporary folder that is removed at exit.
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <string>

#include "server/core_runtime.h"
#include "server/http_server.h"
#include "server/log.h"

namespace {

constexpr size_t kBodySize = 10240;

// Printable and line-structured, so a body that went wrong is easy to spot with curl.
std::string MakeBody() {
  std::string body;
  body.reserve(kBodySize);
  while (body.size() < kBodySize) {
    const size_t line = std::min<size_t>(64, kBodySize - body.size());
    body.append(line - 1, 'v');
    body.push_back('\n');
  }
  return body;
}

// The listener reports on its own queue; main waits here for the first report.
class ListenOutcome {
 public:
  void Set(std::string error) {
    std::lock_guard<std::mutex> lock(mu_);
    if (done_) return;
    done_ = true;
    error_ = std::move(error);
    cv_.notify_all();
  }
  // False on timeout; `error` is empty when listening started.
  bool Wait(std::string& error) {
    std::unique_lock<std::mutex> lock(mu_);
    if (!cv_.wait_for(lock, std::chrono::seconds(10), [this] { return done_; })) return false;
    error = error_;
    return true;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool done_ = false;
  std::string error_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s PORT [LOGFOLDER]\n", argv[0]);
    return 2;
  }

  // A shell starts background jobs with SIGINT ignored, and an ignored signal is discarded even
  // while blocked, so sigwait would never see it.
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  // Blocked before any core thread starts, so the signals reach only sigwait below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::string logFolder;
  bool ownLogFolder = false;
  if (argc == 3) {
    logFolder = argv[2];
  } else {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vidoria-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      return 1;
    }
    logFolder = pattern;
    ownLogFolder = true;
  }
  if (logFolder.back() != '/') logFolder += '/';
  vidoria::StartLog();
  vidoria::SetLogFolder(logFolder);

  const long files = vidoria::RaiseOpenFileLimit();
  const std::string body = MakeBody();
  ListenOutcome outcome;
  int status = 0;
  {
    // Declared before the server, whose destructor detaches it after the connections closed.
    vidoria::DataProvider provider;
    vidoria::HttpServer server(vidoria::ProcessCore());
    server.serverAddr = "127.0.0.1";
    server.serverPort = argv[1];
    server.SetMultiThreaded(true);
    server.timeout.afterConnecting = 60;
    server.maxRequestSize = 128000;
    server.maxHeaderSize = 16000;
    server.onListenStart = [&outcome](vidoria::HttpServer&) { outcome.Set(""); };
    server.onListenError = [&outcome](vidoria::HttpServer&, const std::exception& e) {
      outcome.Set(e.what());
    };

    provider.onCheckRequest = [](vidoria::Connection& c) { c.Accept(); };
    provider.onDataReceived = [&body](vidoria::Connection& c) {
      if (!c.Request().complete) return;
      c.Response().SetContentType("text/plain");
      c.Response().SetContentLength(static_cast<int64_t>(body.size()));
      c.Write(body);
      vidoria::Log("SEND " + c.PeerAddr() + " " + c.Request().FileName());
    };
    provider.SetServer(&server);

    server.Listen();
    std::string error;
    if (!outcome.Wait(error)) {
      std::fprintf(stderr, "bench_server: no answer from the listener in 10 s\n");
      status = 1;
    } else if (!error.empty()) {
      std::fprintf(stderr, "bench_server: cannot listen on 127.0.0.1:%s: %s\n", argv[1],
                   error.c_str());
      status = 1;
    } else {
      std::printf("bench_server: listening on 127.0.0.1:%s, open-file limit %ld, log in %s\n",
                  server.LocalPort().c_str(), files, logFolder.c_str());
      std::fflush(stdout);
      int signal = 0;
      sigwait(&stopSignals, &signal);
      std::printf("bench_server: signal %d, stopping\n", signal);
      std::fflush(stdout);
    }
    // The destructor stops listening and waits for the connections to close.
  }
  vidoria::ProcessCore().Shutdown();

  if (ownLogFolder) {
    std::error_code ignored;
    std::filesystem::remove_all(logFolder, ignored);
  }
  return status;
}
