// The byte-shifting cipher of stored passwords (settings line 6, the user table's column 1).
// It hides a password from a casual look at the file; it is not encryption.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vidoria {

// The key every stored password uses.
inline constexpr std::string_view kCypherKey = "580217396401";

// The shift a key gives: the key read as a signed 32-bit decimal number; 13 when it is not such a
// number or lies outside 1..255. kCypherKey is too large for 32 bits, so its shift is 13.
int CipherShift(std::string_view key);

// Every byte of `text` (UTF-8) raised / lowered by the key's shift, modulo 256. The length is
// kept; the result need not be valid UTF-8. Pure functions, callable from any thread.
std::string EncodeText(std::string_view key, std::string_view text);
std::string DecodeText(std::string_view key, std::string_view text);

// Why `password` cannot be stored with kCypherKey, or nullopt when it can. Stored passwords sit
// in line files, so an enciphered byte that is NUL, CR or LF would end or cut the line and the
// password would read back different. With the shift 13 those come from the bytes 243 (a lead
// byte of the rare characters U+C0000..U+FFFFF), 253 (never in UTF-8) and NUL.
std::optional<std::string> PasswordProblem(std::string_view password);

}  // namespace vidoria
