#include "library/cipher.h"

#include "library/settings_numbers.h"

namespace vidoria {

namespace {

constexpr int kFallbackShift = 13;

std::string Shifted(std::string_view text, int shift) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>((static_cast<unsigned char>(c) + shift) & 0xFF);
  return out;
}

}  // namespace

int CipherShift(std::string_view key) {
  const std::optional<int> value = WholeNumber(key);
  if (!value || *value <= 0 || *value >= 256) return kFallbackShift;
  return *value;
}

std::string EncodeText(std::string_view key, std::string_view text) {
  return Shifted(text, CipherShift(key));
}

std::string DecodeText(std::string_view key, std::string_view text) {
  return Shifted(text, 256 - CipherShift(key));
}

std::optional<std::string> PasswordProblem(std::string_view password) {
  for (const char c : EncodeText(kCypherKey, password)) {
    if (c == '\0' || c == '\r' || c == '\n') {
      return "This password cannot be stored: it contains a character that the stored files "
             "cannot hold (a control character or a rare private-use symbol). Please choose "
             "another password.";
    }
  }
  return std::nullopt;
}

}  // namespace vidoria
