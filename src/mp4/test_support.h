// Test helpers: temporary folders, whole-file I/O, and a box builder and reader of their own, so
// the tests do not judge the tool's output with the tool's own parser.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace vidoria::mp4::test_support {

namespace fs = std::filesystem;

// A fresh folder, removed with everything in it at the end of the test.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "faststart_test_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const fs::path& Path() const { return path_; }
  std::string operator/(std::string_view name) const { return (path_ / name).string(); }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

 private:
  fs::path path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

// Reads `size` bytes at `offset` without reading the whole (possibly huge, sparse) file.
inline std::string ReadRange(const std::string& path, uint64_t offset, size_t size) {
  std::string bytes(size, '\0');
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return {};
  ssize_t n = ::pread(fd, bytes.data(), size, off_t(offset));
  ::close(fd);
  bytes.resize(n < 0 ? 0 : size_t(n));
  return bytes;
}

// --- Building boxes ---------------------------------------------------------------------------

inline std::string BE32(uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
inline std::string BE64(uint64_t v) {
  return BE32(uint32_t(v >> 32)) + BE32(uint32_t(v));
}

inline std::string MakeBox(std::string_view type, std::string_view payload) {
  return BE32(uint32_t(8 + payload.size())) + std::string(type) + std::string(payload);
}
// With the 64-bit size field, as writers use for boxes that may outgrow 4 GiB.
inline std::string MakeLargeBox(std::string_view type, std::string_view payload) {
  return BE32(1) + std::string(type) + BE64(16 + payload.size()) + std::string(payload);
}
inline std::string MakeFullBox(std::string_view type, uint32_t versionFlags,
                               std::string_view payload) {
  return MakeBox(type, BE32(versionFlags) + std::string(payload));
}

inline std::string MakeFtyp() {
  return MakeBox("ftyp", "isom" + BE32(512) + "isomiso2mp41");
}

inline std::string MakeChunkTable(std::string_view type, const std::vector<uint64_t>& offsets) {
  std::string entries = BE32(uint32_t(offsets.size()));
  for (uint64_t offset : offsets) entries += type == "co64" ? BE64(offset) : BE32(uint32_t(offset));
  return MakeFullBox(type, 0, entries);
}

// A track whose sample table has the given chunk-offset table, with enough of the usual boxes
// around it that the table is not the only thing to find.
inline std::string MakeTrack(std::string_view table) {
  std::string stbl =
      MakeBox("stbl", MakeFullBox("stsd", 0, BE32(0)) + MakeFullBox("stsz", 0, BE32(0) + BE32(0)) +
                          std::string(table));
  std::string minf = MakeBox("minf", MakeFullBox("vmhd", 1, std::string(8, '\0')) +
                                         MakeBox("dinf", MakeFullBox("dref", 0, BE32(0))) + stbl);
  std::string mdia = MakeBox("mdia", MakeFullBox("mdhd", 0, std::string(20, '\0')) +
                                         MakeFullBox("hdlr", 0, std::string(20, '\0')) + minf);
  return MakeBox("trak", MakeFullBox("tkhd", 3, std::string(80, '\0')) + mdia);
}

inline std::string MakeMoovPayload(const std::vector<std::string>& tables) {
  std::string payload = MakeFullBox("mvhd", 0, std::string(96, '\0'));
  for (const std::string& table : tables) payload += MakeTrack(table);
  return payload;
}

inline std::string MakeMoov(const std::vector<std::string>& tables) {
  return MakeBox("moov", MakeMoovPayload(tables));
}

// --- Reading boxes ----------------------------------------------------------------------------

struct TestBox {
  std::string type;
  uint64_t offset = 0;
  uint64_t size = 0;
  uint64_t header = 0;
};

inline uint64_t ReadBE(std::string_view bytes, size_t at, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value = value << 8 | uint8_t(bytes[at + i]);
  return value;
}

// Decodes the box header at the start of `head`, with `room` bytes from there to the end of the
// enclosing data. False when it does not fit.
inline bool ParseTestHeader(std::string_view head, uint64_t room, TestBox& box) {
  if (room < 8 || head.size() < 8) return false;
  box.type = std::string(head.substr(4, 4));
  box.header = 8;
  box.size = ReadBE(head, 0, 4);
  if (box.size == 1) {
    if (room < 16 || head.size() < 16) return false;
    box.size = ReadBE(head, 8, 8);
    box.header = 16;
  } else if (box.size == 0) {
    box.size = room;
  }
  if (box.type == "uuid") box.header += 16;
  return box.size >= box.header && box.size <= room;
}

// The top-level boxes of a file, read header by header.
inline std::vector<TestBox> TopLevelBoxes(const std::string& path) {
  std::vector<TestBox> boxes;
  const uint64_t fileSize = fs::file_size(path);
  for (uint64_t pos = 0; pos < fileSize;) {
    TestBox box;
    if (!ParseTestHeader(ReadRange(path, pos, 16), fileSize - pos, box)) {
      ADD_FAILURE() << "no valid top-level box at " << pos << " of " << path;
      break;
    }
    box.offset = pos;
    boxes.push_back(box);
    pos += box.size;
  }
  return boxes;
}

inline std::vector<std::string> TypesOf(const std::vector<TestBox>& boxes) {
  std::vector<std::string> types;
  for (const TestBox& box : boxes) types.push_back(box.type);
  return types;
}

// The chunk-offset tables of a whole 'moov' box, in file order. Also checks that every
// container on the way to them is tiled exactly by its children; `problem` says where not.
struct ChunkTables {
  std::vector<std::string> types;  // "stco" or "co64"
  std::vector<std::vector<uint64_t>> offsets;
  std::string problem;
};

inline void WalkForTables(std::string_view moov, uint64_t begin, uint64_t end,
                          ChunkTables& tables) {
  static const std::set<std::string> kContainers = {"moov", "trak", "mdia", "minf", "stbl"};
  uint64_t pos = begin;
  while (pos < end && tables.problem.empty()) {
    TestBox box;
    if (!ParseTestHeader(moov.substr(pos, end - pos), end - pos, box)) {
      tables.problem = "box at " + std::to_string(pos) + " does not fit its parent";
      return;
    }
    const uint64_t content = pos + box.header;
    if (kContainers.count(box.type)) WalkForTables(moov, content, pos + box.size, tables);
    if (box.type == "stco" || box.type == "co64") {
      const size_t width = box.type == "co64" ? 8 : 4;
      std::string_view payload = moov.substr(content, box.size - box.header);
      const uint64_t count = payload.size() >= 8 ? ReadBE(payload, 4, 4) : 0;
      if (payload.size() != 8 + count * width) {
        tables.problem = box.type + " size does not match its entry count";
        return;
      }
      std::vector<uint64_t> offsets;
      for (uint64_t i = 0; i < count; ++i) offsets.push_back(ReadBE(payload, 8 + i * width, width));
      tables.types.push_back(box.type);
      tables.offsets.push_back(offsets);
    }
    pos += box.size;
  }
  if (pos != end && tables.problem.empty()) tables.problem = "children do not fill their parent";
}

inline ChunkTables ReadChunkTables(std::string_view moov) {
  ChunkTables tables;
  WalkForTables(moov, 0, moov.size(), tables);
  return tables;
}

// The chunk tables of the file's 'moov'.
inline ChunkTables ChunkTablesOf(const std::string& path) {
  for (const TestBox& box : TopLevelBoxes(path)) {
    if (box.type == "moov") return ReadChunkTables(ReadRange(path, box.offset, box.size));
  }
  ChunkTables none;
  none.problem = "no moov";
  return none;
}

}  // namespace vidoria::mp4::test_support
