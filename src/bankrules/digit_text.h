// Small text operations that every bank rule uses to build fixed-width digit
// fields: zero-padding that keeps the rightmost characters, bounds-safe
// 1-based slices and blank trimming. Codes are always widened this way,
// never by numeric formatting.
#pragma once

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace boleto::bankrules {

// `text` left-padded with zeros to `width` and cut to its rightmost `width`
// characters: Pad("123", 5) is "00123", Pad("123456", 4) is "3456".
std::string Pad(std::string_view text, size_t width);

// Characters `first` (1-based) to `first + count - 1` of `text`, fewer or
// none where `text` ends early.
std::string_view Mid(std::string_view text, size_t first, size_t count);

// `text` without blanks at either end.
std::string_view Trim(std::string_view text);

// True when `text` is not empty and holds only the digits 0-9.
bool AllDigits(std::string_view text);

// Copies the characters of `piece` to `out`, which has room for them.
inline void CopyChars(std::string_view piece, char* out) {
  // An empty piece may have no storage at all: memcpy wants a pointer.
  if (!piece.empty()) std::memcpy(out, piece.data(), piece.size());
}

// A due date written "DDMMYYYY" read the way Date::FromDigits reads it
// (the common eight-digit form without building a Date); nothing when it is
// no valid date.
std::optional<std::chrono::sys_days> DueDateDays(std::string_view ddmmyyyy);

}  // namespace boleto::bankrules
