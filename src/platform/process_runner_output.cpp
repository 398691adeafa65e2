#include "platform/process_runner_output.h"

namespace vidoria {

namespace {
constexpr char kEsc = '\x1b';
constexpr char kBel = '\x07';
}  // namespace

void OutputLines::Feed(std::string_view bytes, std::vector<std::string>& lines) {
  for (const char c : bytes) Take(c, lines);
}

void OutputLines::Finish(std::vector<std::string>& lines) {
  if (!line_.empty()) lines.push_back(std::move(line_));
  line_.clear();
  escape_ = Escape::kNone;
  afterCr_ = false;
}

void OutputLines::Take(char c, std::vector<std::string>& lines) {
  const bool lf = c == '\n';
  if (lf && afterCr_) {
    afterCr_ = false;
    return;
  }
  afterCr_ = false;
  if (lf || c == '\r') {
    // A sequence cut off by a line end was garbage; the line end still counts.
    escape_ = Escape::kNone;
    lines.push_back(std::move(line_));
    line_.clear();
    afterCr_ = !lf;
    return;
  }
  const auto byte = static_cast<unsigned char>(c);
  switch (escape_) {
    case Escape::kNone:
      if (c == kEsc) {
        escape_ = Escape::kStart;
      } else {
        line_ += c;
        // A tool that prints without ever ending a line must not grow us without bound.
        if (line_.size() >= kMaxLineBytes) {
          lines.push_back(std::move(line_));
          line_.clear();
        }
      }
      return;
    case Escape::kStart:  // ESC, then intermediates 0x20..0x2F, then one final byte
      if (c == '[') {
        escape_ = Escape::kControl;
      } else if (c == ']') {
        escape_ = Escape::kText;
      } else if (byte < 0x20 || byte > 0x2F) {
        escape_ = Escape::kNone;
      }
      return;
    case Escape::kControl:  // ESC [ parameters and intermediates, ended by 0x40..0x7E
      if (byte >= 0x40 && byte <= 0x7E) escape_ = Escape::kNone;
      return;
    case Escape::kText:  // ESC ] text, ended by BEL or ESC backslash
      if (c == kBel) escape_ = Escape::kNone;
      if (c == kEsc) escape_ = Escape::kTextEsc;
      return;
    case Escape::kTextEsc:
      escape_ = c == '\\' ? Escape::kNone : Escape::kText;
      return;
  }
}

}  // namespace vidoria
