// Fuzz entry point for faststart's MP4 reading: the input is an MP4 file's bytes.
//
// Twice over:
//  - In memory, ParseBox on the input as one box (the way the movie box is read), and the media
//    facts the media server reads from such a tree (MediaFactsOf): a parsed tree
//    must write back to bytes that parse to the same tree again, and to the very bytes it came
//    from unless a size field of 0 ("to the end") was resolved, which needs four zero bytes.
//  - As a file, MakeFastStart from a file in a temporary folder (on /dev/shm when there is one,
//    so the atomic write's flushes cost nothing), over an earlier output. It either fails with a
//    one-line reason, leaving the earlier output as it was and no other file, or replaces it
//    with an output of the size it reports. A copy must equal the input. A rearranged file must
//    hold the first 'ftyp', the new movie box, then every other box byte for byte in its old order;
//    its chunk tables must match the old ones entry for entry, each offset pointing at the same
//    bytes as before; and faststart on it must copy it unchanged.
// Box sizes of 0 or beyond the file must end in an answer too: libFuzzer's timeout catches a loop.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "faststart/faststart.h"
#include "faststart/mp4.h"
#include "fuzz_expect.h"
#include "mp4/media_facts.h"

namespace vidoria::faststart {
namespace {

namespace fs = std::filesystem;

constexpr FourCC kFtyp = MakeFourCC("ftyp");
constexpr FourCC kMoov = MakeFourCC("moov");
constexpr FourCC kMdat = MakeFourCC("mdat");

// One folder for the whole run, removed at exit.
class WorkFolder {
 public:
  WorkFolder() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = ::access("/dev/shm", W_OK) == 0  ? "/dev/shm"
                             : tmp != nullptr && *tmp != '\0' ? tmp
                                                              : "/tmp";
    std::string pattern = base + "/faststart_fuzz_XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) fuzz::Broken(__FILE__, __LINE__, "mkdtemp");
    path_ = pattern;
  }
  ~WorkFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const char* name) const { return (path_ / name).string(); }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path path_;
};

WorkFolder& Work() {
  static WorkFolder folder;
  return folder;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteAll(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  FUZZ_EXPECT(out.good());
}

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string Serialized(const Box& box) {
  std::vector<uint8_t> bytes;
  box.AppendTo(bytes);
  FUZZ_EXPECT(bytes.size() == box.SerializedSize());
  return {bytes.begin(), bytes.end()};
}

void CheckInMemory(std::string_view input) {
  Result<BoxHeader> header = ParseBoxHeader(Bytes(input), 0, input.size());
  Result<Box> box = ParseBox(Bytes(input));
  if (box) FUZZ_EXPECT(bool(header));
  if (header) {
    FUZZ_EXPECT(header->headerSize <= header->size && header->size <= input.size());
  }
  if (!box) {
    FUZZ_EXPECT(!box.Reason().empty());
    return;
  }
  // What the media server tells a TV comes from the same tree; any tree must give an answer.
  const MediaFacts facts = MediaFactsOf(*box);
  FUZZ_EXPECT(facts.fileSize == 0);
  const std::string written = Serialized(*box);
  Result<Box> again = ParseBox(Bytes(written));
  FUZZ_EXPECT(bool(again));
  FUZZ_EXPECT(Serialized(*again) == written);
  if (input.find(std::string_view("\0\0\0\0", 4)) == std::string_view::npos) {
    FUZZ_EXPECT(written == input.substr(0, header->size));
  }
}

std::vector<BoxHeader> TopLevel(const std::string& path, uint64_t size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  FUZZ_EXPECT(fd >= 0);
  Result<std::vector<BoxHeader>> boxes = ScanTopLevel(fd, size);
  ::close(fd);
  FUZZ_EXPECT(bool(boxes));
  return *boxes;
}

std::string_view BoxBytes(std::string_view file, const BoxHeader& box) {
  return file.substr(box.offset, box.size);
}

// The chunk tables of a tree in depth-first order, whichever their width.
void CollectTables(const Box& box, std::vector<const Box*>& out) {
  if (box.type == kStco || box.type == kCo64) out.push_back(&box);
  for (const Box& child : box.children) CollectTables(child, out);
}

// Up to 16 bytes from `offset` to the end of the top-level box holding it.
std::string_view BytesAt(std::string_view file, const std::vector<BoxHeader>& boxes,
                         uint64_t offset) {
  for (const BoxHeader& box : boxes) {
    if (offset >= box.offset && offset - box.offset < box.size) {
      return file.substr(offset, std::min<uint64_t>(16, box.offset + box.size - offset));
    }
  }
  fuzz::Broken(__FILE__, __LINE__, "a chunk offset lies in the file");
}

void CheckRearranged(std::string_view input, const std::vector<BoxHeader>& inBoxes,
                     std::string_view output, const std::vector<BoxHeader>& outBoxes,
                     const Outcome& outcome) {
  const auto moovAt = std::find_if(inBoxes.begin(), inBoxes.end(),
                                   [](const BoxHeader& b) { return b.type == kMoov; });
  FUZZ_EXPECT(moovAt != inBoxes.end());
  const auto ftypAt = std::find_if(inBoxes.begin(), inBoxes.end(),
                                   [](const BoxHeader& b) { return b.type == kFtyp; });
  const BoxHeader* ftyp = ftypAt != inBoxes.end() ? &*ftypAt : nullptr;
  std::vector<const BoxHeader*> order;
  if (ftyp != nullptr) order.push_back(ftyp);
  order.push_back(&*moovAt);
  for (const BoxHeader& box : inBoxes) {
    if (&box != ftyp && &box != &*moovAt) order.push_back(&box);
  }
  const size_t moovIndex = ftyp != nullptr ? 1 : 0;
  FUZZ_EXPECT(outBoxes.size() == order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    FUZZ_EXPECT(outBoxes[i].type == order[i]->type);
    if (order[i] == &*moovAt) {
      FUZZ_EXPECT(outBoxes[i].size == outcome.moovSize);
    } else {
      FUZZ_EXPECT(BoxBytes(output, outBoxes[i]) == BoxBytes(input, *order[i]));
    }
  }
  for (const BoxHeader& box : outBoxes) {
    if (box.type == kMdat) FUZZ_EXPECT(box.offset > outBoxes[moovIndex].offset);
  }

  Result<Box> oldMoov = ParseBox(Bytes(BoxBytes(input, *moovAt)));
  Result<Box> newMoov = ParseBox(Bytes(BoxBytes(output, outBoxes[moovIndex])));
  FUZZ_EXPECT(oldMoov && newMoov);
  std::vector<const Box*> oldTables, newTables;
  CollectTables(*oldMoov, oldTables);
  CollectTables(*newMoov, newTables);
  FUZZ_EXPECT(oldTables.size() == newTables.size());
  size_t widened = 0;
  for (size_t t = 0; t < oldTables.size(); ++t) {
    Result<std::vector<uint64_t>> before = ReadChunkOffsets(*oldTables[t]);
    Result<std::vector<uint64_t>> after = ReadChunkOffsets(*newTables[t]);
    FUZZ_EXPECT(before && after && before->size() == after->size());
    FUZZ_EXPECT(oldTables[t]->type == newTables[t]->type || newTables[t]->type == kCo64);
    if (oldTables[t]->type != newTables[t]->type) ++widened;
    for (size_t e = 0; e < before->size(); ++e) {
      FUZZ_EXPECT(BytesAt(input, inBoxes, (*before)[e]) == BytesAt(output, outBoxes, (*after)[e]));
    }
  }
  FUZZ_EXPECT(widened == outcome.widenedTables);
}

void CheckFile(std::string_view input) {
  WorkFolder& work = Work();
  const std::string in = work / "in.mp4";
  const std::string out = work / "out.mp4";
  const std::string again = work / "again.mp4";
  WriteAll(in, input);
  // An earlier output in the way must survive a failure and be replaced whole on success.
  const std::string_view kEarlier = "an earlier output";
  WriteAll(out, kEarlier);
  ::unlink(again.c_str());

  Result<Outcome> outcome = MakeFastStart(in, out);
  FUZZ_EXPECT((work.Names() == std::vector<std::string>{"in.mp4", "out.mp4"}));
  if (!outcome) {
    FUZZ_EXPECT(!outcome.Reason().empty());
    FUZZ_EXPECT(outcome.Reason().find('\n') == std::string::npos);
    FUZZ_EXPECT(ReadAll(out) == kEarlier);
    return;
  }
  const std::string output = ReadAll(out);
  FUZZ_EXPECT(output.size() == outcome->outputSize);
  if (!outcome->moved) {
    FUZZ_EXPECT(output == input);
    FUZZ_EXPECT(outcome->moovSize == 0 && outcome->widenedTables == 0);
    return;
  }
  CheckRearranged(input, TopLevel(in, input.size()), output, TopLevel(out, output.size()),
                  *outcome);

  Result<Outcome> second = MakeFastStart(out, again);
  FUZZ_EXPECT(second && !second->moved);
  FUZZ_EXPECT(ReadAll(again) == output);
}

}  // namespace
}  // namespace vidoria::faststart

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vidoria::faststart;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckInMemory(input);
  CheckFile(input);
  return 0;
}
