// The rewrite on synthetic files built box by box: every chunk holds a unique marker, so a chunk
// offset is right exactly when it still leads to its marker.
#include "faststart/faststart.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "mp4/test_support.h"

namespace vidoria::faststart {
namespace {

using namespace vidoria::mp4::test_support;

constexpr int kTracks = 2;
constexpr size_t kMarkerSize = 16;
constexpr size_t kChunkSize = 56;

std::string Marker(int chunk) {
  std::string marker = "<chunk " + std::to_string(chunk) + ">";
  marker.resize(kMarkerSize, '.');
  return marker;
}

// One top-level box of a synthetic file: "ftyp", "moov", "mdat" holding `chunks` chunks, or a
// box without meaning here ("free", "skip", "wide", "uuid", "udta"). The suffix "64" gives a
// 'moov' or 'mdat' the 64-bit size field.
struct Piece {
  std::string type;
  int chunks = 0;
};

struct Sample {
  std::string bytes;
  std::vector<std::vector<std::string>> markers;  // by track, then chunk: what each offset leads to
  std::vector<std::vector<uint64_t>> offsets;     // the same, as chunk offsets in `bytes`
  uint64_t moovSize = 0;
};

std::string MakeSampleMoov(const std::vector<std::vector<uint64_t>>& offsets, bool large) {
  std::vector<std::string> tables;
  for (const auto& track : offsets) tables.push_back(MakeChunkTable("stco", track));
  return large ? MakeLargeBox("moov", MakeMoovPayload(tables)) : MakeMoov(tables);
}

std::string MakeOther(const std::string& type) {
  if (type == "ftyp") return MakeFtyp();
  if (type == "wide") return MakeBox("wide", "");
  if (type == "uuid") return MakeBox("uuid", std::string(16, 'U') + "vendor data");
  if (type == "udta") return MakeBox("udta", MakeBox("\xa9nam", "a title"));
  return MakeBox(type, std::string(20, '\0'));
}

// Chunks go to the tracks in turn, in file order.
Sample BuildFile(const std::vector<Piece>& pieces) {
  Sample sample;
  sample.markers.resize(kTracks);
  sample.offsets.resize(kTracks);
  bool largeMoov = false;
  int totalChunks = 0;
  for (const Piece& piece : pieces) {
    totalChunks += piece.chunks;
    largeMoov = largeMoov || piece.type == "moov64";
  }
  // The movie box's size depends only on how many chunks there are, so size it first.
  std::vector<std::vector<uint64_t>> placeholder(kTracks);
  for (int c = 0; c < totalChunks; ++c) placeholder[c % kTracks].push_back(0);
  sample.moovSize = MakeSampleMoov(placeholder, largeMoov).size();

  std::vector<std::string> parts;
  size_t moovPart = 0;
  uint64_t pos = 0;
  int chunk = 0;
  for (const Piece& piece : pieces) {
    std::string part;
    if (piece.type.starts_with("moov")) {
      moovPart = parts.size();
      pos += sample.moovSize;
      parts.emplace_back();
      continue;
    }
    if (piece.type.starts_with("mdat")) {
      const bool large = piece.type == "mdat64";
      uint64_t data = pos + (large ? 16 : 8);
      std::string payload;
      for (int i = 0; i < piece.chunks; ++i, ++chunk) {
        sample.markers[chunk % kTracks].push_back(Marker(chunk));
        sample.offsets[chunk % kTracks].push_back(data + payload.size());
        payload += Marker(chunk) + std::string(kChunkSize - kMarkerSize, 'x');
      }
      part = large ? MakeLargeBox("mdat", payload) : MakeBox("mdat", payload);
    } else {
      part = MakeOther(piece.type);
    }
    pos += part.size();
    parts.push_back(part);
  }
  parts[moovPart] = MakeSampleMoov(sample.offsets, largeMoov);
  for (const std::string& part : parts) sample.bytes += part;
  return sample;
}

// Every chunk offset of the output leads to the marker its chunk had in the input.
void ExpectChunksFound(const std::string& path, const Sample& sample) {
  ChunkTables tables = ChunkTablesOf(path);
  ASSERT_EQ(tables.problem, "");
  ASSERT_EQ(tables.offsets.size(), sample.markers.size());
  for (size_t t = 0; t < tables.offsets.size(); ++t) {
    ASSERT_EQ(tables.offsets[t].size(), sample.markers[t].size());
    for (size_t c = 0; c < tables.offsets[t].size(); ++c) {
      EXPECT_EQ(ReadRange(path, tables.offsets[t][c], kMarkerSize), sample.markers[t][c])
          << "track " << t << " chunk " << c;
    }
  }
}

// --- Moving the movie box ---------------------------------------------------------------------

TEST(FastStartTest, MovesMoovAndShiftsEveryOffsetByItsSize) {
  TempFolder folder;
  Sample sample = BuildFile({{"ftyp"}, {"mdat", 5}, {"moov"}});
  WriteFile(folder / "in.mp4", sample.bytes);

  Result<Outcome> outcome = MakeFastStart(folder / "in.mp4", folder / "out.mp4");
  ASSERT_TRUE(outcome.Ok()) << outcome.Reason();
  EXPECT_TRUE(outcome->moved);
  EXPECT_EQ(outcome->widenedTables, 0u);

  // Exactly: the same ftyp, the movie box with each offset moved by its size, the same mdat.
  std::vector<std::vector<uint64_t>> shifted = sample.offsets;
  for (auto& track : shifted) {
    for (uint64_t& offset : track) offset += sample.moovSize;
  }
  const std::string ftyp = MakeFtyp();
  const std::string mdat =
      sample.bytes.substr(ftyp.size(), sample.bytes.size() - ftyp.size() - sample.moovSize);
  EXPECT_EQ(ReadFile(folder / "out.mp4"), ftyp + MakeSampleMoov(shifted, false) + mdat);
  EXPECT_EQ(ReadFile(folder / "in.mp4"), sample.bytes);
}

struct LayoutCase {
  const char* name;
  std::vector<Piece> input;
  std::vector<std::string> outputTypes;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
  *os << c.name;
}

class FastStartLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(FastStartLayoutTest, PutsFtypAndMoovFirstAndKeepsEveryChunkReachable) {
  const LayoutCase& c = GetParam();
  TempFolder folder;
  Sample sample = BuildFile(c.input);
  WriteFile(folder / "in.mp4", sample.bytes);

  Result<Outcome> outcome = MakeFastStart(folder / "in.mp4", folder / "out.mp4");
  ASSERT_TRUE(outcome.Ok()) << outcome.Reason();
  EXPECT_TRUE(outcome->moved);
  EXPECT_EQ(TypesOf(TopLevelBoxes(folder / "out.mp4")), c.outputTypes);
  EXPECT_EQ(outcome->outputSize, sample.bytes.size());
  EXPECT_EQ(fs::file_size(folder / "out.mp4"), sample.bytes.size());
  ExpectChunksFound(folder / "out.mp4", sample);
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"in.mp4", "out.mp4"}));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, FastStartLayoutTest,
    ::testing::Values(
        LayoutCase{"FreeAndWideBeforeMdat",
                   {{"ftyp"}, {"free"}, {"wide"}, {"mdat", 4}, {"moov"}},
                   {"ftyp", "moov", "free", "wide", "mdat"}},
        LayoutCase{"TwoMdats",
                   {{"ftyp"}, {"mdat", 3}, {"mdat", 3}, {"moov"}},
                   {"ftyp", "moov", "mdat", "mdat"}},
        // The second mdat does not move at all: the moov leaves its place just before it.
        LayoutCase{"MoovBetweenMdats",
                   {{"ftyp"}, {"mdat", 3}, {"moov"}, {"mdat", 3}},
                   {"ftyp", "moov", "mdat", "mdat"}},
        LayoutCase{"BoxesAfterMoovKeepTheirOrder",
                   {{"ftyp"}, {"mdat", 4}, {"moov"}, {"udta"}, {"uuid"}, {"skip"}},
                   {"ftyp", "moov", "mdat", "udta", "uuid", "skip"}},
        LayoutCase{
            "QuickTimeWithoutFtyp", {{"wide"}, {"mdat", 4}, {"moov"}}, {"moov", "wide", "mdat"}},
        LayoutCase{"FtypNotFirst",
                   {{"free"}, {"ftyp"}, {"mdat", 4}, {"moov"}},
                   {"ftyp", "moov", "free", "mdat"}},
        LayoutCase{"LargeSizeMdatAndMoov",
                   {{"ftyp"}, {"mdat64", 4}, {"moov64"}},
                   {"ftyp", "moov", "mdat"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FastStartTest, KeepsA64BitMoovHeader) {
  TempFolder folder;
  Sample sample = BuildFile({{"ftyp"}, {"mdat", 2}, {"moov64"}});
  WriteFile(folder / "in.mp4", sample.bytes);
  ASSERT_TRUE(MakeFastStart(folder / "in.mp4", folder / "out.mp4").Ok());

  std::vector<TestBox> boxes = TopLevelBoxes(folder / "out.mp4");
  ASSERT_EQ(boxes.at(1).type, "moov");
  EXPECT_EQ(boxes[1].header, 16u);
  EXPECT_EQ(boxes[1].size, sample.moovSize);
}

// --- Offsets beyond 4 GiB (sparse files, so nothing near that size is written) -----------------

class SparseFile {
 public:
  explicit SparseFile(const std::string& path)
      : fd_(::open(path.c_str(), O_WRONLY | O_CREAT, 0644)) {}
  ~SparseFile() { ::close(fd_); }
  void Put(uint64_t offset, const std::string& bytes) {
    ASSERT_EQ(::pwrite(fd_, bytes.data(), bytes.size(), off_t(offset)), ssize_t(bytes.size()));
  }

 private:
  int fd_;
};

TEST(FastStartTest, WidensOverflowingTablesUntilTheLayoutIsStable) {
  // Track 0's last chunk ends up at exactly 2^32 - 1 with the original movie box size, so it fits
  // 32 bits, until track 1's table widens and the larger box pushes it over too. Track 2 stays
  // low and keeps its 32-bit table.
  const uint64_t k4G = uint64_t(1) << 32;
  const std::string ftyp = MakeFtyp();
  const uint64_t data = ftyp.size() + 16;
  const uint64_t moovOffset = k4G + 4096;
  const uint64_t moovSize = MakeMoov({MakeChunkTable("stco", {0, 0}), MakeChunkTable("stco", {0}),
                                      MakeChunkTable("stco", {0})})
                                .size();
  std::vector<std::vector<uint64_t>> offsets = {
      {data, k4G - 1 - moovSize}, {k4G - 64}, {data + kChunkSize}};
  std::vector<std::vector<std::string>> markers = {
      {Marker(0), Marker(1)}, {Marker(2)}, {Marker(3)}};

  TempFolder folder;
  const std::string in = folder / "in.mp4";
  {
    SparseFile file(in);
    file.Put(0, ftyp);
    file.Put(ftyp.size(), BE32(1) + "mdat" + BE64(moovOffset - ftyp.size()));
    for (size_t t = 0; t < offsets.size(); ++t) {
      for (size_t c = 0; c < offsets[t].size(); ++c) file.Put(offsets[t][c], markers[t][c]);
    }
    std::vector<std::string> tables;
    for (const auto& track : offsets) tables.push_back(MakeChunkTable("stco", track));
    file.Put(moovOffset, MakeMoov(tables));
  }

  Result<Outcome> outcome = MakeFastStart(in, folder / "out.mp4");
  ASSERT_TRUE(outcome.Ok()) << outcome.Reason();
  EXPECT_EQ(outcome->widenedTables, 2u);
  const uint64_t grown = 4 * 3;  // three entries went from 4 to 8 bytes
  EXPECT_EQ(outcome->moovSize, moovSize + grown);
  EXPECT_EQ(fs::file_size(folder / "out.mp4"), moovOffset + moovSize + grown);

  ChunkTables tables = ChunkTablesOf(folder / "out.mp4");
  ASSERT_EQ(tables.problem, "");  // every parent's size grew with its table
  EXPECT_EQ(tables.types, (std::vector<std::string>{"co64", "co64", "stco"}));
  for (size_t t = 0; t < offsets.size(); ++t) {
    ASSERT_EQ(tables.offsets.at(t).size(), offsets[t].size());
    for (size_t c = 0; c < offsets[t].size(); ++c) {
      EXPECT_EQ(tables.offsets[t][c], offsets[t][c] + moovSize + grown);
      EXPECT_EQ(ReadRange(folder / "out.mp4", tables.offsets[t][c], kMarkerSize), markers[t][c]);
    }
  }
}

// --- Files that are already fast-start ----------------------------------------------------------

TEST(FastStartTest, AlreadyFastStartIsCopiedByteForByte) {
  const std::string ftyp = MakeFtyp();
  const std::string moov = MakeMoov({MakeChunkTable("stco", {ftyp.size() + 300})});
  const std::string mdatToEnd = BE32(0) + "mdat" + std::string(500, 'm');
  const std::vector<std::string> inputs = {
      ftyp + moov + MakeBox("mdat", std::string(500, 'm')),
      ftyp + moov + MakeBox("free", "") + mdatToEnd,
      moov + MakeBox("wide", "") + MakeBox("mdat", std::string(500, 'm')),
      ftyp + MakeBox("free", "12345678") + moov,  // nothing to index yet
  };
  for (const std::string& input : inputs) {
    TempFolder folder;
    WriteFile(folder / "in.mp4", input);
    Result<Outcome> outcome = MakeFastStart(folder / "in.mp4", folder / "out.mp4");
    ASSERT_TRUE(outcome.Ok()) << outcome.Reason();
    EXPECT_FALSE(outcome->moved);
    EXPECT_EQ(ReadFile(folder / "out.mp4"), input);
  }
}

// --- Failures -----------------------------------------------------------------------------------

struct BadInput {
  const char* name;
  std::string bytes;
  const char* reason;
};

std::vector<BadInput> BadInputs() {
  const std::string ftyp = MakeFtyp();
  const std::string mdat = MakeBox("mdat", std::string(200, 'm'));
  const uint64_t data = ftyp.size() + 8;
  const std::string moov = MakeMoov({MakeChunkTable("stco", {data})});
  auto moovWith = [&](const std::string& extra) {
    return MakeBox("moov", MakeMoovPayload({MakeChunkTable("stco", {data})}) + extra);
  };
  return {
      {"Empty", "", "not an MP4 file"},
      {"Text", "This is a plain text file and no movie at all.\n", "not an MP4 file"},
      {"BinaryJunk", std::string("\x00\x00\x00\x10\x01\x02\x03\x04junkjunk", 16),
       "not an MP4 file"},
      {"BoxesButNoMovie", MakeBox("free", "abc") + MakeBox("skip", ""), "not an MP4 file"},
      {"NoMoov", ftyp + mdat, "no moov box"},
      {"MdatTruncated", ftyp + BE32(1000) + "mdat" + std::string(100, 'm'),
       "claims 1000 bytes but only 108 remain"},
      {"MoovTruncated", (ftyp + mdat + moov).substr(0, ftyp.size() + mdat.size() + moov.size() - 9),
       "truncated"},
      {"TrailingBytes", ftyp + mdat + moov + "abc", "truncated or damaged"},
      {"JunkAfterBoxes", ftyp + mdat + moov + std::string(16, '\xff'), "damaged"},
      {"DamagedChunkTable",
       ftyp + mdat + MakeMoov({MakeFullBox("stco", 0, BE32(5) + BE32(uint32_t(data)))}),
       "damaged moov box: 'stco' table holds fewer than its 5 entries"},
      {"DamagedTrack", ftyp + mdat + MakeBox("moov", MakeBox("trak", BE32(99) + "mdia")),
       "damaged moov box"},
      {"ChunkOffsetBeyondTheFile", ftyp + mdat + MakeMoov({MakeChunkTable("stco", {999999})}),
       "chunk offset (999999) points outside the media data"},
      {"ChunkOffsetIntoMoov",
       ftyp + mdat + MakeMoov({MakeChunkTable("stco", {ftyp.size() + mdat.size() + 8})}),
       "points outside the media data"},
      {"TwoMoovs", ftyp + mdat + moov + moov, "more than one moov box"},
      {"CompressedMoov", ftyp + mdat + moovWith(MakeBox("cmov", "zlib")), "compressed (cmov)"},
      {"ItemLocations", ftyp + mdat + moovWith(MakeFullBox("meta", 0, MakeFullBox("iloc", 0, ""))),
       "item locations (iloc), which are not supported"},
      {"TopLevelItemLocations",
       ftyp + MakeFullBox("meta", 0, MakeFullBox("iloc", 0, "")) + mdat + moov,
       "a meta box holds item locations (iloc)"},
      {"Fragmented", ftyp + mdat + moov + MakeBox("moof", ""), "fragmented files (moof)"},
  };
}

void PrintTo(const BadInput& c, std::ostream* os) {
  *os << c.name;
}

class FastStartBadInputTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(FastStartBadInputTest, FailsAndLeavesNoOutput) {
  const BadInput& c = GetParam();
  TempFolder folder;
  WriteFile(folder / "in.mp4", c.bytes);

  Result<Outcome> outcome = MakeFastStart(folder / "in.mp4", folder / "out.mp4");
  ASSERT_FALSE(outcome.Ok());
  EXPECT_NE(outcome.Reason().find(c.reason), std::string::npos) << outcome.Reason();
  EXPECT_EQ(outcome.Reason().find('\n'), std::string::npos);
  EXPECT_EQ(folder.Names(), std::set<std::string>{"in.mp4"});
  EXPECT_EQ(ReadFile(folder / "in.mp4"), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Inputs, FastStartBadInputTest, ::testing::ValuesIn(BadInputs()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FastStartTest, RefusesPathsItCannotUse) {
  TempFolder folder;
  const std::string good = BuildFile({{"ftyp"}, {"mdat", 2}, {"moov"}}).bytes;
  WriteFile(folder / "in.mp4", good);
  fs::create_directory(folder / "sub");
  fs::create_hard_link(folder / "in.mp4", folder / "link.mp4");
  ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
  struct Case {
    const char* name;
    std::string input, output;
    const char* reason;
  } cases[] = {
      {"missing input", folder / "none.mp4", folder / "out.mp4",
       "cannot open: No such file or directory"},
      {"input is a folder", folder / "sub", folder / "out.mp4", "not a regular file"},
      {"input is a FIFO without a writer", folder / "fifo", folder / "out.mp4",
       "not a regular file"},
      {"output folder missing", folder / "in.mp4", folder / "nowhere/out.mp4",
       "cannot create a file in"},
      {"output is a folder", folder / "in.mp4", folder / "sub", "is a folder"},
      {"input is the output", folder / "in.mp4", folder / "in.mp4", "the same file"},
      {"output is a hard link to the input", folder / "in.mp4", folder / "link.mp4",
       "the same file"},
  };
  for (const Case& c : cases) {
    Result<Outcome> outcome = MakeFastStart(c.input, c.output);
    ASSERT_FALSE(outcome.Ok()) << c.name;
    EXPECT_NE(outcome.Reason().find(c.reason), std::string::npos)
        << c.name << ": " << outcome.Reason();
  }
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"fifo", "in.mp4", "link.mp4", "sub"}));
  EXPECT_TRUE(fs::is_empty(folder.Path() / "sub"));
  EXPECT_EQ(ReadFile(folder / "in.mp4"), good);
}

TEST(FastStartTest, ExistingOutputIsReplacedOnSuccessAndKeptOnFailure) {
  TempFolder folder;
  WriteFile(folder / "out.mp4", "older file");
  WriteFile(folder / "junk.mp4", "junk");
  EXPECT_FALSE(MakeFastStart(folder / "junk.mp4", folder / "out.mp4").Ok());
  EXPECT_EQ(ReadFile(folder / "out.mp4"), "older file");

  Sample sample = BuildFile({{"ftyp"}, {"mdat", 2}, {"moov"}});
  WriteFile(folder / "in.mp4", sample.bytes);
  ASSERT_TRUE(MakeFastStart(folder / "in.mp4", folder / "out.mp4").Ok());
  ExpectChunksFound(folder / "out.mp4", sample);
}

TEST(FastStartTest, OutputTakesTheInputsPermissionsAndPassesThroughATempFile) {
  TempFolder folder;
  WriteFile(folder / "in.mp4", BuildFile({{"ftyp"}, {"mdat", 2}, {"moov"}}).bytes);
  fs::permissions(folder / "in.mp4",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  std::vector<std::string> reports;
  Options options;
  options.tempFileChanged = [&](const std::string& path) {
    reports.push_back(path);
    if (!path.empty()) {
      EXPECT_TRUE(fs::exists(path));
    }
  };

  ASSERT_TRUE(MakeFastStart(folder / "in.mp4", folder / "out.mp4", options).Ok());
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(fs::path(reports[0]).parent_path(), folder.Path());
  EXPECT_EQ(reports[1], "");
  EXPECT_EQ(fs::status(folder / "out.mp4").permissions(),
            fs::status(folder / "in.mp4").permissions());
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"in.mp4", "out.mp4"}));
}

// --- The command line ---------------------------------------------------------------------------

struct ToolRun {
  int exitCode = -1;
  std::string out, err;
};

std::string Quote(const std::string& arg) {
  return "'" + arg + "'";
}

ToolRun RunTool(const TempFolder& folder, const std::vector<std::string>& args) {
  std::string command = Quote(FASTSTART_BINARY);
  for (const std::string& arg : args) command += " " + Quote(arg);
  command += " >" + Quote(folder / "stdout.txt") + " 2>" + Quote(folder / "stderr.txt");
  int status = std::system(command.c_str());
  ToolRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadFile(folder / "stdout.txt");
  run.err = ReadFile(folder / "stderr.txt");
  fs::remove(folder / "stdout.txt");
  fs::remove(folder / "stderr.txt");
  return run;
}

TEST(FastStartCommandTest, WrongArgumentsPrintUsageAndExitTwo) {
  TempFolder folder;
  const std::vector<std::vector<std::string>> bad = {{}, {"a.mp4"}, {"a", "b", "c"}, {"", "b"}};
  for (const auto& args : bad) {
    ToolRun run = RunTool(folder, args);
    EXPECT_EQ(run.exitCode, 2) << args.size() << " arguments";
    EXPECT_TRUE(run.err.starts_with("usage: faststart INPUT OUTPUT\n")) << run.err;
  }
  ToolRun help = RunTool(folder, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.starts_with("usage: faststart INPUT OUTPUT\n"));
}

TEST(FastStartCommandTest, SucceedsQuietlyAndFailsWithOneLine) {
  TempFolder folder;
  WriteFile(folder / "in.mp4", BuildFile({{"ftyp"}, {"mdat", 2}, {"moov"}}).bytes);
  ToolRun ok = RunTool(folder, {folder / "in.mp4", folder / "out.mp4"});
  EXPECT_EQ(ok.exitCode, 0);
  EXPECT_EQ(ok.out + ok.err, "");
  EXPECT_TRUE(fs::exists(folder / "out.mp4"));

  WriteFile(folder / "text.mp4", "no movie here, just words");
  ToolRun failed = RunTool(folder, {folder / "text.mp4", folder / "out2.mp4"});
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(failed.err,
            "faststart: " + folder / "text.mp4" + ": not an MP4 file (no box structure)\n");
  EXPECT_FALSE(fs::exists(folder / "out2.mp4"));
}

}  // namespace
}  // namespace vidoria::faststart
