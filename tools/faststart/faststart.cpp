#include "faststart/faststart.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "faststart/file_io.h"
#include "faststart/layout.h"
#include "faststart/mp4.h"
#include "platform/atomic_write.h"

namespace vidoria::faststart {

namespace {

constexpr FourCC kFtyp = MakeFourCC("ftyp");
constexpr FourCC kMoov = MakeFourCC("moov");
constexpr FourCC kMdat = MakeFourCC("mdat");
constexpr FourCC kMeta = MakeFourCC("meta");

// A movie box this large would index days of video; anything bigger is damage, and the bound
// keeps memory use sane since the box is held in memory twice.
constexpr uint64_t kMaxMoovSize = uint64_t(512) << 20;

// What gets written: the top-level boxes in output order, each copied from the input except the
// movie box, which is written from `moov_bytes`. An empty order means "copy the whole input".
struct Plan {
  std::vector<BoxHeader> order;
  std::optional<size_t> moovPosition;
  std::vector<uint8_t> moovBytes;
  size_t widenedTables = 0;
};

Result<Box> LoadBox(int fd, const BoxHeader& header) {
  const std::string name = FourCCName(header.type) + " box";
  if (header.size > kMaxMoovSize) {
    return Failure{name + " is too large (" + std::to_string(header.size) + " bytes)"};
  }
  std::vector<uint8_t> bytes(header.size);
  if (Status read = ReadAt(fd, header.offset, bytes); !read) return Failure{read.Reason()};
  Result<Box> box = ParseBox(bytes, header.offset);
  if (!box) return Failure{"damaged " + name + ": " + box.Reason()};
  return box;
}

// Offsets we do not rewrite would be left pointing at the wrong bytes once the data moves;
// refusing is better than writing a file that plays wrong.
Status CheckMovable(const std::vector<BoxHeader>& boxes, const Box& moov, int fd) {
  struct Unsupported {
    FourCC type;
    const char* reason;
  };
  static constexpr Unsupported kInMoov[] = {
      {MakeFourCC("cmov"), "the moov box is compressed (cmov), which is not supported"},
      {MakeFourCC("iloc"), "the moov box holds item locations (iloc), which are not supported"},
      {MakeFourCC("saio"),
       "the moov box holds sample auxiliary information offsets (saio), which are not supported"},
  };
  for (const Unsupported& u : kInMoov) {
    if (Contains(moov, u.type)) return Failure{u.reason};
  }
  for (const BoxHeader& header : boxes) {
    if (header.type == MakeFourCC("moof")) {
      return Failure{"fragmented files (moof) with the moov box last are not supported"};
    }
    if (header.type == kMeta) {
      Result<Box> meta = LoadBox(fd, header);
      if (!meta) return Failure{meta.Reason()};
      if (Contains(*meta, MakeFourCC("iloc"))) {
        return Failure{"a meta box holds item locations (iloc), which are not supported"};
      }
    }
  }
  return Ok();
}

Result<Plan> PlanMove(int fd, const std::vector<BoxHeader>& boxes, size_t moovIndex) {
  Result<Box> moov = LoadBox(fd, boxes[moovIndex]);
  if (!moov) return Failure{moov.Reason()};
  if (Status movable = CheckMovable(boxes, *moov, fd); !movable) return Failure{movable.Reason()};

  Layout layout(boxes, moovIndex);
  Result<size_t> widened = RelocateChunkOffsets(*moov, layout);
  if (!widened) return Failure{widened.Reason()};

  Plan plan;
  plan.widenedTables = *widened;
  for (size_t i : layout.Order()) {
    // Boxes are copied with their headers as they are, so one whose size says "to the end of
    // the file" must stay last. Only an 'ftyp' could be moved away from the end; the movie box
    // gets a new header anyway.
    if (i != moovIndex && boxes[i].toEnd && i != layout.Order().back()) {
      return Failure{"box '" + FourCCName(boxes[i].type) +
                     "' runs to the end of the file and cannot be moved"};
    }
    if (i == moovIndex) plan.moovPosition = plan.order.size();
    plan.order.push_back(boxes[i]);
  }
  moov->AppendTo(plan.moovBytes);
  return plan;
}

// Decides what to write. Fails for inputs that are no complete MP4.
Result<Plan> MakePlan(int fd, uint64_t fileSize) {
  Result<std::vector<BoxHeader>> boxes = ScanTopLevel(fd, fileSize);
  if (!boxes) return Failure{boxes.Reason()};

  std::optional<size_t> moov;
  bool ftyp = false, mdat = false;
  for (size_t i = 0; i < boxes->size(); ++i) {
    const FourCC type = (*boxes)[i].type;
    ftyp = ftyp || type == kFtyp;
    mdat = mdat || type == kMdat;
    if (type != kMoov) continue;
    if (moov) return Failure{"more than one moov box"};
    moov = i;
  }
  if (!moov && !ftyp && !mdat) return Failure{"not an MP4 file (no ftyp, moov or mdat box)"};
  if (!moov) return Failure{"no moov box (the file is incomplete or was never finished)"};

  const uint64_t moovOffset = (*boxes)[*moov].offset;
  const bool fastStart = std::none_of(boxes->begin(), boxes->end(), [&](const BoxHeader& b) {
    return b.type == kMdat && b.offset < moovOffset;
  });
  if (fastStart) return Plan{};
  return PlanMove(fd, *boxes, *moov);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The tool's words for a failed step of the atomic write.
std::string WriteFailure(const WriteError& error, const std::string& output) {
  switch (error.step) {
    case WriteStep::kCreate:
      return "cannot create a file in " + FolderOf(output) + ": " + ErrnoText(error.code);
    case WriteStep::kMode:
      return "cannot set permissions: " + ErrnoText(error.code);
    case WriteStep::kContent:
      return error.Text();
    case WriteStep::kFlush:
    case WriteStep::kClose:
      return "cannot write the output: " + ErrnoText(error.code);
    case WriteStep::kReplace:
      return "cannot create " + output + ": " + ErrnoText(error.code);
  }
  return error.Text();
}

Status WritePlan(const Plan& plan, int in, uint64_t fileSize, int out, uint64_t outputSize) {
  RangeCopier copier;
  if (plan.order.empty()) {
    if (Status copied = copier.Copy(in, 0, fileSize, out); !copied) return copied;
  }
  for (size_t i = 0; i < plan.order.size(); ++i) {
    Status written = plan.moovPosition == i
                         ? WriteAll(out, plan.moovBytes)
                         : copier.Copy(in, plan.order[i].offset, plan.order[i].size, out);
    if (!written) return written;
  }
  if (::lseek(out, 0, SEEK_CUR) != off_t(outputSize)) {
    return Failure{"the output came out the wrong size (was the input changed while copying?)"};
  }
  return Ok();
}

}  // namespace

Result<Outcome> MakeFastStart(const std::string& input, const std::string& output,
                              const Options& options) {
  // O_NONBLOCK only so that a FIFO is refused below instead of waiting for a writer; it does
  // not change reads from regular files.
  UniqueFd in(::open(input.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!in.Valid()) return Failure{"cannot open: " + ErrnoText(errno)};
  struct stat inStat;
  if (::fstat(in.Get(), &inStat) != 0) return Failure{"cannot read: " + ErrnoText(errno)};
  if (!S_ISREG(inStat.st_mode)) return Failure{"not a regular file"};

  struct stat outStat;
  if (::stat(output.c_str(), &outStat) == 0) {
    if (outStat.st_dev == inStat.st_dev && outStat.st_ino == inStat.st_ino) {
      return Failure{"input and output are the same file"};
    }
    if (S_ISDIR(outStat.st_mode)) return Failure{"the output " + output + " is a folder"};
  }

  const uint64_t fileSize = uint64_t(inStat.st_size);
  Result<Plan> plan = MakePlan(in.Get(), fileSize);
  if (!plan) return Failure{plan.Reason()};

  Outcome outcome;
  outcome.moved = !plan->order.empty();
  outcome.widenedTables = plan->widenedTables;
  outcome.moovSize = plan->moovBytes.size();
  outcome.outputSize = fileSize + plan->moovBytes.size();
  if (plan->moovPosition) outcome.outputSize -= plan->order[*plan->moovPosition].size;

  AtomicWriteOptions writeOptions;
  // The rewritten file stands in for the input, so it gets the input's permissions.
  writeOptions.mode = inStat.st_mode & 0777;
  writeOptions.tempFileChanged = options.tempFileChanged;
  auto write = [&](int out) -> OsStatus {
    if (Status written = WritePlan(*plan, in.Get(), fileSize, out, outcome.outputSize); !written) {
      return OsError{written.Reason()};
    }
    // The copier skips holes; the size keeps a trailing one.
    if (::ftruncate(out, off_t(outcome.outputSize)) != 0) {
      return OsError{"cannot write the output", errno};
    }
    return OsOk();
  };
  // Its final folder sync makes the new name durable too; the caller may delete the original next.
  if (auto written = WriteFileAtomicallyWith(output, write, writeOptions); !written) {
    return Failure{WriteFailure(written.Error(), output)};
  }
  return outcome;
}

}  // namespace vidoria::faststart
