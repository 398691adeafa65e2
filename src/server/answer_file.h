// The file an answer's body is sent from, opened once for the whole answer.
#pragma once

#include <cstdint>
#include <string>

namespace vidoria {

// Owns a read-only descriptor of one file, by path. A connection's writer opens it at the first
// piece of an answer, reuses it for the answer's further pieces of the same path, and closes it
// once the answer has left or the connection closed. Keeping it for the answer costs one
// descriptor per transfer and saves an open, a stat and a close per piece; a file replaced on
// disk (renamed over) mid-answer keeps giving the version the answer began with, and one cut
// short in place ends the answer as a read error. Move-only; belongs to one connection's job (or
// to the handler that opened it, until it hands it to the connection).
class AnswerFile {
 public:
  AnswerFile() = default;
  AnswerFile(const AnswerFile&) = delete;
  AnswerFile& operator=(const AnswerFile&) = delete;
  AnswerFile(AnswerFile&& other) noexcept;
  AnswerFile& operator=(AnswerFile&& other) noexcept;
  ~AnswerFile() { Close(); }

  // Takes over `fd`, which its caller opened for reading as Open does (read-only, close-on-exec,
  // non-blocking) and found to be a regular file, as the file of `path`.
  static AnswerFile Adopt(int fd, std::string path);

  // Opens `path` for reading unless it is the file already open; false when it cannot be opened
  // or is no regular file.
  bool Open(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }
  // Appends `length` bytes from `offset` to `out`; false when the file ended or failed before
  // (what could be read is appended all the same).
  bool ReadInto(int64_t offset, int64_t length, std::string& out) const;
  // Closes the file and forgets its path.
  void Close();

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace vidoria
