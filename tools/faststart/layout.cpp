#include "faststart/layout.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <string>

namespace vidoria::faststart {

namespace {

constexpr FourCC kFtyp = MakeFourCC("ftyp");
constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();

struct Table {
  Box* box;
  std::vector<uint64_t> offsets;  // as found in the input
};

}  // namespace

Layout::Layout(const std::vector<BoxHeader>& boxes, size_t moovIndex)
    : boxes_(boxes), moov_(moovIndex), newOffsets_(boxes.size(), 0) {
  assert(moovIndex < boxes.size());
  auto ftyp = std::find_if(boxes.begin(), boxes.end(),
                           [](const BoxHeader& box) { return box.type == kFtyp; });
  const size_t ftypIndex = ftyp == boxes.end() ? boxes.size() : size_t(ftyp - boxes.begin());
  if (ftypIndex != boxes.size()) order_.push_back(ftypIndex);
  order_.push_back(moov_);
  for (size_t i = 0; i < boxes.size(); ++i) {
    if (i != ftypIndex && i != moov_) order_.push_back(i);
  }
}

void Layout::Place(uint64_t moovSize) {
  uint64_t offset = 0;
  for (size_t i : order_) {
    newOffsets_[i] = offset;
    offset += i == moov_ ? moovSize : boxes_[i].size;
  }
}

Result<uint64_t> Layout::Map(uint64_t oldOffset) const {
  // The last box starting at or before the offset is the one holding it, as the boxes tile the
  // file in order.
  auto after =
      std::upper_bound(boxes_.begin(), boxes_.end(), oldOffset,
                       [](uint64_t offset, const BoxHeader& box) { return offset < box.offset; });
  const size_t i = size_t(after - boxes_.begin());
  if (i == 0 || i - 1 == moov_ || oldOffset >= boxes_[i - 1].offset + boxes_[i - 1].size) {
    return Failure{"a chunk offset (" + std::to_string(oldOffset) +
                   ") points outside the media data"};
  }
  const BoxHeader& box = boxes_[i - 1];
  return newOffsets_[i - 1] + (oldOffset - box.offset);
}

Result<size_t> RelocateChunkOffsets(Box& moov, Layout& layout) {
  std::vector<Table> tables;
  for (FourCC type : {kStco, kCo64}) {
    for (Box* box : FindAll(moov, type)) {
      Result<std::vector<uint64_t>> offsets = ReadChunkOffsets(*box);
      if (!offsets) return Failure{"damaged moov box: " + offsets.Reason()};
      tables.push_back({box, std::move(*offsets)});
    }
  }

  // Each round either widens a table or ends, so this runs at most tables.size() + 1 times.
  size_t widened = 0;
  for (bool grew = true; grew;) {
    grew = false;
    layout.Place(moov.SerializedSize());
    for (Table& table : tables) {
      if (table.box->type == kCo64) continue;
      for (uint64_t offset : table.offsets) {
        Result<uint64_t> moved = layout.Map(offset);
        if (!moved) return Failure{moved.Reason()};
        if (*moved > kMax32) {
          // Widened with the old values for now; the size is all that matters until the end.
          WriteChunkOffsets(*table.box, table.offsets, /*wide=*/true);
          ++widened;
          grew = true;
          break;
        }
      }
    }
  }

  for (Table& table : tables) {
    for (uint64_t& offset : table.offsets) {
      Result<uint64_t> moved = layout.Map(offset);
      if (!moved) return Failure{moved.Reason()};
      offset = *moved;
    }
    WriteChunkOffsets(*table.box, table.offsets, /*wide=*/table.box->type == kCo64);
  }
  return widened;
}

}  // namespace vidoria::faststart
