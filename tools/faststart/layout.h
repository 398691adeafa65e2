// Where the top-level boxes go when the movie box moves to the front, and the chunk-offset
// rewrite that follows from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "faststart/mp4.h"

namespace vidoria::faststart {

// The fast-start order of a file's top-level boxes: the first 'ftyp', the 'moov', then the rest
// in file order. Holds a reference to `boxes`, which must outlive it and tile the file.
class Layout {
 public:
  Layout(const std::vector<BoxHeader>& boxes, size_t moovIndex);

  // Indices into the boxes, in output order.
  const std::vector<size_t>& Order() const { return order_; }

  // Computes every box's new offset for a movie box of `moov_size` bytes.
  void Place(uint64_t moovSize);

  // The new file offset of the byte at `old_offset`; fails for offsets in the movie box or
  // outside the file. Valid after Place().
  Result<uint64_t> Map(uint64_t oldOffset) const;

 private:
  const std::vector<BoxHeader>& boxes_;
  size_t moov_;
  std::vector<size_t> order_;
  std::vector<uint64_t> newOffsets_;  // by box index
};

// Points every chunk offset in `moov` at its data's new place and places the layout for the
// final movie box size. A 'stco' with an offset beyond 32 bits becomes a 'co64'; that grows the
// movie box, which moves the data again, so this repeats until no table needs widening. Returns
// how many tables were widened.
Result<size_t> RelocateChunkOffsets(Box& moov, Layout& layout);

}  // namespace vidoria::faststart
