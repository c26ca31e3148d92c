#include "platform/outside_text.h"

#include <cstdio>

#include "platform/characters.h"

namespace boleto {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the rest of the code page is Latin-1,
// whose byte values are their code points. Zero marks the five bytes the
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D).
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};

void AppendEscape(const char* format, unsigned value, std::string& out) {
  char escape[8];
  std::snprintf(escape, sizeof escape, format, value);
  out += escape;
}

}  // namespace

void AppendCharacter(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsValidUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = CharacterLength(text, at);
    if (length == 1 && static_cast<unsigned char>(text[at]) >= 0x80) return false;
    at += length;
  }
  return true;
}

std::string Utf8OrWindows1252(std::string_view text) {
  if (IsValidUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() * 2);
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    char32_t code = byte;
    if (byte >= 0x80 && byte <= 0x9F && kWindows1252High[byte - 0x80] != 0) {
      code = kWindows1252High[byte - 0x80];
    }
    AppendCharacter(code, out);
  }
  return out;
}

std::string TerminalSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t length = CharacterLength(text, at);
    const unsigned char byte = static_cast<unsigned char>(text[at]);
    if (const int control = ControlCharacter(text, at);
        control >= 0 && control != '\n' && control != '\t') {
      AppendEscape(control < 0x80 ? "\\x%02X" : "\\u%04X", static_cast<unsigned>(control), out);
    } else if (length == 1 && byte >= 0x80) {
      AppendEscape("\\x%02X", byte, out);
    } else {
      out.append(text.substr(at, length));
    }
    at += length;
  }
  return out;
}

}  // namespace boleto
