// Fuzz entry point for the line file reader (FOLDERS.kavra, settings.kavra): ParseLines on the
// input as a file's bytes.
//
// The lines must be the input cut at every CR, LF or CR LF, a last line without an ending
// counting and an ending at the very end starting none; checked against a model written apart
// from the reader (every ending made LF first, then cut). Written back, the lines must read back
// the same and come out as each line followed by CR LF.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_expect.h"
#include "library/stored_files.h"

namespace vidoria {
namespace {

std::vector<std::string> Model(std::string_view bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') {
      text += '\n';
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      text += bytes[i];
    }
  }
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace
}  // namespace vidoria

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vidoria;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = ParseLines(input);
  FUZZ_EXPECT(lines == Model(input));

  std::string written;
  try {
    written = LineFileBytes(lines, "FOLDERS.kavra");
  } catch (const std::exception&) {
    fuzz::Broken(__FILE__, __LINE__, "lines read from a file can be written");
  }
  std::string expected;
  for (const std::string& line : lines) expected.append(line).append("\r\n");
  FUZZ_EXPECT(written == expected);
  FUZZ_EXPECT(ParseLines(written) == lines);
  return 0;
}
