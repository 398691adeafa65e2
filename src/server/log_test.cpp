#include "server/log.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <latch>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "server/exceptions.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;

constexpr LocalTime kMay3 = {2012, 5, 3, 7, 8, 9};

// Hands out the given readings in order, then repeats the last one; a writer that reads the clock
// more than once per line gets the wrong date or stamp.
std::function<LocalTime()> Readings(std::vector<LocalTime> times) {
  auto queue = std::make_shared<std::deque<LocalTime>>(times.begin(), times.end());
  return [queue] {
    LocalTime t = queue->front();
    if (queue->size() > 1) queue->pop_front();
    return t;
  };
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<std::string> SplitCrLf(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(content.substr(start, end - start));
  }
  EXPECT_EQ(start, content.size()) << "content does not end with CR LF";
  return lines;
}

class LogWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "log_test.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override { fs::remove_all(root_); }

  // Every entry under the temp folder, files and folders, relative to it.
  std::set<std::string> Entries() const {
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      entries.insert(fs::relative(entry.path(), root_).string());
    }
    return entries;
  }

  std::string Path(const std::string& relative) const { return (root_ / relative).string(); }

  fs::path root_;
};

TEST_F(LogWriterTest, NothingIsWrittenOrCreatedBeforeStart) {
  fs::create_directory(root_ / "logs");
  LogWriter withFolder({Path("bin/server.exe"), Path("tmp"), Readings({kMay3})});
  withFolder.SetFolder(Path("logs/"));
  LogWriter withDefault({Path("bin/server.exe"), Path("tmp"), Readings({kMay3})});

  for (LogWriter* writer : {&withFolder, &withDefault}) {
    writer->Log("hello");
    writer->Log("hello", "NAME");
    writer->LogException("closing", EConnection("boom"));
  }
  EXPECT_FALSE(withDefault.Started());
  EXPECT_EQ(withDefault.Folder(), "");
  EXPECT_EQ(Entries(), std::set<std::string>{"logs"});

  withFolder.Start();
  withFolder.Log("hello");
  EXPECT_EQ(Entries(), (std::set<std::string>{"logs", "logs/server.exe.2012_05_03.log"}));
}

struct LineCase {
  const char* label;
  std::string program;
  LocalTime time;
  const char* folder;  // under the temp folder, as passed to SetFolder
  std::string text;
  std::string name;
  bool exception;
  std::string file;  // expected, under the temp folder
  std::string content;
};

TEST_F(LogWriterTest, LineHasExactStampFileNameAndText) {
  const LineCase cases[] = {
      {"dated", "/opt/x/server.exe", kMay3, "a/", "hello", "", false, "a/server.exe.2012_05_03.log",
       "2012-05-03 07:08:09; hello\r\n"},
      {"no extension",
       "/opt/x/vidoria",
       {2026, 12, 9, 23, 5, 0},
       "a/",
       "hello",
       "",
       false,
       "a/vidoria.2026_12_09.log",
       "2026-12-09 23:05:00; hello\r\n"},
      {"named", "/opt/x/server.exe", kMay3, "a/", "hello", "NAME", false,
       "a/server.exe.2012_05_03.NAME.log", "2012-05-03 07:08:09; hello\r\n"},
      {"folder without slash", "/opt/x/server.exe", kMay3, "a", "hello", "", false,
       "a/server.exe.2012_05_03.log", "2012-05-03 07:08:09; hello\r\n"},
      {"text with CR LF", "/opt/x/server.exe", kMay3, "a/", "GET /\r\nHost: x\r\n", "", false,
       "a/server.exe.2012_05_03.log", "2012-05-03 07:08:09; GET /\r\nHost: x\r\n\r\n"},
      {"exception", "/opt/x/server.exe", kMay3, "a/", "Closing", "", true, "a/server.exe.log",
       "2012-05-03 07:08:09; Closing Exception! EConnection: boom\r\n"},
      {"named exception", "/opt/x/server.exe", kMay3, "a/", "Closing", "NAME", true,
       "a/server.exe.NAME.log", "2012-05-03 07:08:09; Closing Exception! EConnection: boom\r\n"},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.label);
    fs::create_directory(root_ / "a");
    LogWriter writer({c.program, Path("tmp"), Readings({c.time})});
    writer.SetFolder(Path(c.folder));
    writer.Start();
    if (c.exception) {
      writer.LogException(c.text, EConnection("boom"), c.name);
    } else {
      writer.Log(c.text, c.name);
    }
    EXPECT_EQ(writer.Folder(), Path("a/"));
    EXPECT_EQ(Entries(), (std::set<std::string>{"a", c.file}));
    EXPECT_EQ(ReadFile(root_ / c.file), c.content);
    fs::remove_all(root_ / "a");
  }
}

TEST_F(LogWriterTest, LinesAroundMidnightGoToConsecutiveDatedFiles) {
  struct {
    LocalTime before, after;
    std::string firstFile, secondFile, firstLine, secondLine;
  } cases[] = {
      {{2012, 5, 3, 23, 59, 59},
       {2012, 5, 4, 0, 0, 1},
       "s.2012_05_03.log",
       "s.2012_05_04.log",
       "2012-05-03 23:59:59; one\r\n",
       "2012-05-04 00:00:01; two\r\n"},
      {{2012, 5, 31, 23, 59, 59},
       {2012, 6, 1, 0, 0, 1},
       "s.2012_05_31.log",
       "s.2012_06_01.log",
       "2012-05-31 23:59:59; one\r\n",
       "2012-06-01 00:00:01; two\r\n"},
      {{2012, 12, 31, 23, 59, 59},
       {2013, 1, 1, 0, 0, 1},
       "s.2012_12_31.log",
       "s.2013_01_01.log",
       "2012-12-31 23:59:59; one\r\n",
       "2013-01-01 00:00:01; two\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.firstFile);
    LogWriter writer({"/opt/s", Path("tmp"), Readings({c.before, c.after})});
    writer.SetFolder(root_.string());
    writer.Start();
    writer.Log("one");
    writer.Log("two");
    EXPECT_EQ(Entries(), (std::set<std::string>{c.firstFile, c.secondFile}));
    EXPECT_EQ(ReadFile(root_ / c.firstFile), c.firstLine);
    EXPECT_EQ(ReadFile(root_ / c.secondFile), c.secondLine);
    for (const auto& entry : fs::directory_iterator(root_)) fs::remove(entry.path());
  }
}

TEST_F(LogWriterTest, DefaultFolderIsCreatedNextToProgram) {
  fs::create_directory(root_ / "bin");
  LogWriter writer({Path("bin/server.exe"), Path("tmp"), Readings({kMay3})});
  writer.Start();
  EXPECT_EQ(writer.Folder(), "");

  writer.Log("hello");
  EXPECT_EQ(writer.Folder(), Path("bin/LOG/"));
  EXPECT_EQ(ReadFile(root_ / "bin/LOG/server.exe.2012_05_03.log"),
            "2012-05-03 07:08:09; hello\r\n");
  EXPECT_FALSE(fs::exists(root_ / "tmp"));
}

TEST_F(LogWriterTest, UncreatableProgramFolderFallsBackToTempFolder) {
  // Running as root ignores permissions, so block the folder with a file where a parent should be.
  std::ofstream(root_ / "blocker") << "not a folder";
  LogWriter writer({Path("blocker/bin/server.exe"), Path("tmp"), Readings({kMay3})});
  writer.Start();
  writer.Log("hello");
  writer.LogException("closing", std::runtime_error("boom"));

  EXPECT_EQ(writer.Folder(), Path("tmp/LOG/"));
  EXPECT_EQ(ReadFile(root_ / "tmp/LOG/server.exe.2012_05_03.log"),
            "2012-05-03 07:08:09; hello\r\n");
  EXPECT_EQ(ReadFile(root_ / "tmp/LOG/server.exe.log"),
            "2012-05-03 07:08:09; closing Exception! std::runtime_error: boom\r\n");
}

TEST_F(LogWriterTest, MissingSetFolderDropsLinesUntilItExists) {
  LogWriter writer({"/opt/server.exe", Path("tmp"), Readings({kMay3})});
  writer.SetFolder(Path("missing/"));
  writer.Start();
  writer.Log("dropped");
  writer.LogException("dropped too", EConnection("boom"));
  EXPECT_TRUE(Entries().empty());

  fs::create_directory(root_ / "missing");
  writer.Log("kept");
  EXPECT_EQ(Entries(), (std::set<std::string>{"missing", "missing/server.exe.2012_05_03.log"}));
  EXPECT_EQ(ReadFile(root_ / "missing/server.exe.2012_05_03.log"), "2012-05-03 07:08:09; kept\r\n");
}

TEST_F(LogWriterTest, MovedDeletedOrReplacedFileIsReopenedAtTheNextCheck) {
  enum class Change { kMoved, kDeleted, kReplaced };
  const struct {
    const char* label;
    Change change;
    std::string oldFileAfter;  // what "away" holds at the end ("" when there is none)
  } cases[] = {
      {"moved away", Change::kMoved, "2012-05-03 07:08:09; one\r\n2012-05-03 07:08:09; two\r\n"},
      {"deleted", Change::kDeleted, ""},
      {"replaced by a new file", Change::kReplaced, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    auto ticks = std::make_shared<std::chrono::steady_clock::time_point>();
    LogWriter writer(
        {"/opt/server.exe", Path("tmp"), Readings({kMay3}), [ticks] { return *ticks; }});
    writer.SetFolder(root_.string());
    writer.Start();
    const fs::path file = root_ / "server.exe.2012_05_03.log";
    writer.Log("one");
    switch (c.change) {
      case Change::kMoved:
        fs::rename(file, root_ / "away");
        break;
      case Change::kDeleted:
        fs::remove(file);
        break;
      case Change::kReplaced:
        fs::rename(file, root_ / "away");
        std::ofstream(file, std::ios::binary) << "rotated\r\n";
        fs::remove(root_ / "away");
        break;
    }
    // Until the next check, lines still follow the open file (for a deleted one, nowhere).
    writer.Log("two");
    *ticks += LogWriter::kRecheckInterval;
    writer.Log("three");
    writer.Log("four");

    const std::string fresh = c.change == Change::kReplaced ? "rotated\r\n" : "";
    EXPECT_EQ(ReadFile(file),
              fresh + "2012-05-03 07:08:09; three\r\n2012-05-03 07:08:09; four\r\n");
    if (c.oldFileAfter.empty()) {
      EXPECT_FALSE(fs::exists(root_ / "away"));
    } else {
      EXPECT_EQ(ReadFile(root_ / "away"), c.oldFileAfter);
    }
    for (const auto& entry : fs::directory_iterator(root_)) fs::remove(entry.path());
  }
}

TEST_F(LogWriterTest, FileKeptOpenStillTakesLinesWrittenByOthersInBetween) {
  // Another writer appending to the same file (a second process, or a restarted one) must not be
  // overwritten: every line lands at the end.
  LogWriter first({"/opt/server.exe", Path("tmp"), Readings({kMay3})});
  LogWriter second({"/opt/server.exe", Path("tmp"), Readings({kMay3})});
  for (LogWriter* writer : {&first, &second}) {
    writer->SetFolder(root_.string());
    writer->Start();
  }
  first.Log("a");
  second.Log("b");
  first.Log("c");
  EXPECT_EQ(ReadFile(root_ / "server.exe.2012_05_03.log"),
            "2012-05-03 07:08:09; a\r\n2012-05-03 07:08:09; b\r\n2012-05-03 07:08:09; c\r\n");
}

TEST_F(LogWriterTest, LinesFromManyThreadsStayWholeAndInOrder) {
  constexpr int kThreads = 8;
  constexpr int kLines = 500;
  auto text = [](int thread, int line) {
    char head[48];
    std::snprintf(head, sizeof head, "thread %d line %04d ", thread, line);
    return head + std::string(120 + thread * 17, static_cast<char>('a' + thread));
  };
  // Not atomic on purpose: the writer must read the clock under its lock, so stamps rise in file
  // order and the counter is never raced.
  int seconds = 0;
  auto clock = [&seconds] {
    int n = seconds++;
    return LocalTime{2012, 5, 3, n / 3600, n / 60 % 60, n % 60};
  };
  LogWriter writer({"/opt/server.exe", Path("tmp"), clock});
  writer.SetFolder(root_.string());
  writer.Start();

  std::latch go(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      go.arrive_and_wait();
      for (int i = 0; i < kLines; ++i) writer.Log(text(t, i));
    });
  }
  for (auto& thread : threads) thread.join();

  std::vector<std::string> lines = SplitCrLf(ReadFile(root_ / "server.exe.2012_05_03.log"));
  ASSERT_EQ(lines.size(), size_t{kThreads * kLines});
  std::vector<int> next(kThreads, 0);
  std::string previousStamp;
  for (const std::string& line : lines) {
    int hour, minute, second, thread, index;
    ASSERT_EQ(std::sscanf(line.c_str(), "2012-05-03 %2d:%2d:%2d; thread %d line %d", &hour, &minute,
                          &second, &thread, &index),
              5)
        << line;
    ASSERT_TRUE(thread >= 0 && thread < kThreads) << line;
    ASSERT_EQ(index, next[thread]) << "out of order: " << line;
    ASSERT_EQ(line.substr(21), text(thread, index));
    std::string stamp = line.substr(0, 21);
    ASSERT_LT(previousStamp, stamp);
    previousStamp = stamp;
    ++next[thread];
  }
  EXPECT_EQ(next, std::vector<int>(kThreads, kLines));
}

TEST_F(LogWriterTest, ProcessLogNamesFilesAfterRunningProgram) {
  SetLogFolder(root_.string());
  EXPECT_EQ(LogFolder(), root_.string() + "/");
  StartLog();
  EXPECT_TRUE(ProcessLog().Started());
  Log("hello", "proc");

  std::string program = fs::canonical("/proc/self/exe").filename().string();
  std::vector<fs::path> files(fs::directory_iterator(root_), fs::directory_iterator{});
  ASSERT_EQ(files.size(), 1u);
  std::string file = files[0].filename().string();
  // The date comes from the real clock: program + ".yyyy_mm_dd.proc.log".
  EXPECT_EQ(file.size(), program.size() + 20) << file;
  EXPECT_EQ(file.rfind(program + ".", 0), 0u) << file;
  EXPECT_TRUE(file.ends_with(".proc.log")) << file;
  std::string content = ReadFile(files[0]);
  EXPECT_EQ(content.size(), std::string("yyyy-mm-dd hh:nn:ss; hello\r\n").size()) << content;
  EXPECT_TRUE(content.ends_with("; hello\r\n")) << content;
}

}  // namespace
}  // namespace vidoria
