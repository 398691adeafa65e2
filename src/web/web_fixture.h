// A running server module on an ephemeral loopback port, with a program folder, a library and a
// web log of its own, for tests.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "library/activity_log.h"
#include "library/library_rows_for_tests.h"
#include "library/table_layouts.h"
#include "server/log.h"
#include "server/session_store.h"
#include "server/text.h"
#include "web/data_server.h"
#include "web/http_answer_for_tests.h"

namespace vidoria::testing {

class WebFixture : public ::testing::Test {
 protected:
  WebFixture() {
    base_ = std::filesystem::path(::testing::TempDir()) /
            ("web" + std::to_string(::getpid()) + "_" + std::to_string(fixtureCount++));
    std::filesystem::remove_all(base_);
    programFolder_ = (base_ / "prog").string() + "/";
    logFolder_ = (base_ / "log").string() + "/";
    std::filesystem::create_directories(programFolder_ + "kavra");
    std::filesystem::create_directories(logFolder_);
    WriteFile(programFolder_ + "kavra/blank.jpg", "BLANK");
    StartLog();
    SetLogFolder(logFolder_);
    WebContext context = Context();
    context.generateLogin = [this](const std::string& message) {
      pages_.Set(page::kLogin, "LOGIN " + message);
    };
    server_ = std::make_unique<DataServer>(context, core_, &sessions_);
    events_.listenStart = [this](HttpServer&) {
      std::lock_guard lock(mu_);
      listening_ = true;
      cv_.notify_all();
    };
  }
  // As in the server fixture: a test whose handlers capture its locals stops the server first.
  void StopServer() { server_.reset(); }

  ~WebFixture() override {
    server_.reset();
    core_.Shutdown();
    SetLogFolder("");
    std::filesystem::remove_all(base_);
  }

  void Start(const std::vector<std::string>& contentTypes = DefaultContentTypeLines()) {
    // Once: connections of an earlier start may still be closing and reading them.
    if (!eventsSet_) server_->SetEvents(events_);
    eventsSet_ = true;
    server_->StartServer(contentTypes, 0);
    std::unique_lock lock(mu_);
    ASSERT_TRUE(cv_.wait_for(lock, std::chrono::seconds(10), [&] { return listening_; }));
    port_ = server_->LocalPort();
  }

  // What the providers read, all owned by the fixture.
  WebContext Context() {
    return WebContext{.programFolder = programFolder_,
                      .activity = &activity_,
                      .library = &library_,
                      .pages = &pages_,
                      .access = &access_,
                      .generateLogin = {},
                      .now = [this] {
                        ++clockReads_;
                        return std::chrono::steady_clock::now() +
                               std::chrono::seconds(clockOffsetSeconds_.load());
                      }};
  }

  static void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }

  // Writes the file and adds its library row, then publishes the library.
  void AddToLibrary(const std::string& path, const std::string& bytes) {
    WriteFile(path, bytes);
    AddLibraryRow(view_.libraryTable, path, std::filesystem::path(path).filename().string(),
                  "MOVIE", "1:01:40");
    library_.Publish(view_);
  }

  HttpAnswer Request(const std::string& request, bool head = false) {
    TestClient client(port_);
    client.Send(request);
    return ReadAnswer(client, head);
  }
  HttpAnswer Get(const std::string& path, const std::string& headers = "") {
    return Request("GET " + path + " HTTP/1.1\r\nHost: test\r\n" + headers + "\r\n");
  }

  // Every web log line written so far, without its time stamp.
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    for (const auto& entry : std::filesystem::directory_iterator(logFolder_)) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::string line;
      while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 21 && line[19] == ';') line = line.substr(21);
        lines.push_back(line);
      }
    }
    return lines;
  }
  // Waits for a log line starting with `prefix`, returning it ("" when none came).
  std::string WaitForLogLine(const std::string& prefix,
                             std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
      for (const auto& line : LogLines()) {
        if (line.starts_with(prefix)) return line;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return {};
  }

  // Waits until the providers' clock has been read `count` times in all: a request thread got as
  // far as timing what it received. False when that did not happen within the time.
  bool WaitForClockReads(int count) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (clockReads_.load() < count) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  inline static int fixtureCount = 0;
  std::filesystem::path base_;
  std::string programFolder_, logFolder_, port_;
  ActivityLog activity_;
  LibraryViewHolder library_;
  LibraryView view_;
  PageBuffers pages_;
  AccessState access_;
  std::atomic<int64_t> clockOffsetSeconds_{0};  // moves the session and provider clocks forward
  std::atomic<int> clockReads_{0};              // how often the providers' clock was read
  SessionStore sessions_{[this] {
    return std::chrono::system_clock::now() + std::chrono::seconds(clockOffsetSeconds_.load());
  }};
  CoreRuntime core_;
  std::unique_ptr<DataServer> server_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool listening_ = false;
  DataServerEvents events_;
  bool eventsSet_ = false;  // handed to the server at Start(); tests may add to it before
};

}  // namespace vidoria::testing
