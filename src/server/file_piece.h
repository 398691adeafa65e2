// A stretch of a file that a connection sends straight from the file (sendfile), never copying
// it through the program.
#pragma once

#include <cstdint>
#include <string>

namespace vidoria {

// Owns an open descriptor of the file (closed with the piece) and the stretch still to send.
// Opened for one piece of an answer and dropped once that piece has left, so no descriptor
// outlives it and a file replaced on disk is picked up by the next piece, as a fresh open
// would. Move-only; belongs to one connection's job.
class FilePiece {
 public:
  // Opens `path` for reading and takes up to `length` bytes from `offset`, cut to what the file
  // holds now. The piece is Empty when the file cannot be opened or holds nothing at `offset`.
  static FilePiece Open(const std::string& path, int64_t offset, int64_t length);

  FilePiece() = default;
  FilePiece(FilePiece&& other) noexcept;
  FilePiece& operator=(FilePiece&& other) noexcept;
  FilePiece(const FilePiece&) = delete;
  FilePiece& operator=(const FilePiece&) = delete;
  ~FilePiece() { Close(); }

  bool Empty() const { return length_ <= 0; }
  int Fd() const { return fd_; }
  int64_t Offset() const { return offset_; }
  int64_t Length() const { return length_; }  // bytes still to send

  // `n` bytes (at most Length) have been sent from the front.
  void Advance(int64_t n);
  // Reads what is left into `out` (appended); false when the file ended or failed before that.
  bool ReadInto(std::string& out) const;
  // Closes the file and empties the piece.
  void Close();

 private:
  int fd_ = -1;
  int64_t offset_ = 0;
  int64_t length_ = 0;
};

}  // namespace vidoria
