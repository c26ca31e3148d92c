#include "print/utf8_text.h"

namespace boleto {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

size_t CharacterCount(std::string_view utf8) {
  size_t count = 0;
  for (size_t pos = 0; pos < utf8.size(); ++count) NextCharacter(utf8, pos);
  return count;
}

char32_t NextCharacter(std::string_view utf8, size_t& pos) {
  const auto lead = static_cast<unsigned char>(utf8[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  // Sequence length and the smallest code point it may encode (shorter
  // forms of smaller ones are overlong).
  size_t length;
  char32_t value, minimum;
  if ((lead >> 5) == 0x6) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead >> 4) == 0xE) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead >> 3) == 0x1E) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + length > utf8.size()) {
    ++pos;
    return kReplacement;
  }
  for (size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(utf8[pos + k]);
    if (!Continuation(byte)) {
      ++pos;
      return kReplacement;
    }
    value = (value << 6) | (byte & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += length;
  return value;
}

std::vector<std::string> PrintedLines(std::string_view utf8) {
  std::vector<std::string> lines(1);
  for (size_t pos = 0; pos < utf8.size();) {
    const char32_t c = NextCharacter(utf8, pos);
    if (c == '\r' || c == '\n' || c == 0x2028 || c == 0x2029) {
      if (c == '\r' && pos < utf8.size() && utf8[pos] == '\n') ++pos;
      lines.emplace_back();
    } else if (c == '\t') {
      lines.back() += ' ';
    } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      continue;  // C0 and C1 controls print nothing
    } else {
      AppendCharacter(c, lines.back());
    }
  }
  return lines;
}

}  // namespace boleto
