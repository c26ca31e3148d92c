// Characters as the argument text and the installment key count them: a
// valid UTF-8 sequence is one character, any other byte is one character of
// its own. Header-only, so that every part that cuts or pads a key field
// counts the same way the argument text was taken apart.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace boleto {

// Length in bytes of the character that starts at `text[at]` (at < size).
inline size_t CharacterLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  size_t length = 1;
  unsigned min_value = 0;
  unsigned value = lead;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min_value = 0x80, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min_value = 0x800, value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min_value = 0x10000, value = lead & 0x07;
  } else {
    return 1;
  }
  if (at + length > text.size()) return 1;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 1;
    value = (value << 6) | (byte(at + i) & 0x3F);
  }
  // Overlong forms, UTF-16 surrogates and values past U+10FFFF are no
  // characters.
  if (value < min_value || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 1;
  return length;
}

// The code point of the control character that starts at `text[at]`: C0
// (NUL to U+001F, tab and line breaks included), DEL or C1 (U+0080 to
// U+009F); -1 for any other character.
inline int ControlCharacter(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  if (byte(at) < 0x20 || byte(at) == 0x7F) return byte(at);
  // C1 characters are U+0080 to U+009F: 0xC2 then 0x80 to 0x9F.
  if (byte(at) == 0xC2 && CharacterLength(text, at) == 2 && byte(at + 1) < 0xA0) {
    return byte(at + 1);
  }
  return -1;
}

// Number of characters in `text`.
inline size_t CharacterCount(std::string_view text) {
  size_t count = 0;
  for (size_t at = 0; at < text.size(); at += CharacterLength(text, at)) ++count;
  return count;
}

// The first `count` characters of `text` (all of it when shorter).
inline std::string_view FirstCharacters(std::string_view text, size_t count) {
  size_t at = 0;
  for (; at < text.size() && count > 0; --count) at += CharacterLength(text, at);
  return text.substr(0, at);
}

// The last `count` characters of `text` (all of it when shorter).
inline std::string_view LastCharacters(std::string_view text, size_t count) {
  const size_t total = CharacterCount(text);
  if (total <= count) return text;
  size_t at = 0;
  for (size_t skip = total - count; skip > 0; --skip) at += CharacterLength(text, at);
  return text.substr(at);
}

// `text` cut to `width` characters or padded with blanks on the right to
// `width` characters.
inline std::string CutOrPadRight(std::string_view text, size_t width) {
  const std::string_view kept = FirstCharacters(text, width);
  std::string out(kept);
  out.append(width - CharacterCount(kept), ' ');
  return out;
}

}  // namespace boleto
