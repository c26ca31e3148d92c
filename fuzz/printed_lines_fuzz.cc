// libFuzzer target for the lines a printed text is cut into: whatever the
// bytes, every line is well-formed UTF-8 (cairo refuses to draw anything
// else, which would fail the page) without control characters, and the
// text's characters other than controls and line breaks all come through.
// fuzz-sources: src/print/utf8_text.cc

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "print/utf8_text.h"

namespace {

bool IsLineBreak(char32_t c) { return c == '\r' || c == '\n' || c == 0x2028 || c == 0x2029; }
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  size_t kept = 0;  // characters that must print
  for (size_t pos = 0; pos < text.size();) {
    const char32_t c = boleto::NextCharacter(text, pos);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) std::abort();
    if (!IsLineBreak(c) && (!IsControl(c) || c == '\t')) ++kept;
  }
  size_t printed = 0;
  for (const std::string& line : boleto::PrintedLines(text)) {
    std::string again;
    for (size_t pos = 0; pos < line.size();) {
      const char32_t c = boleto::NextCharacter(line, pos);
      if (IsControl(c) || IsLineBreak(c)) std::abort();
      boleto::AppendCharacter(c, again);
      ++printed;
    }
    // Decoding and encoding again gives the same bytes only for
    // well-formed UTF-8: a malformed byte would come back as EF BF BD.
    if (again != line) std::abort();
  }
  if (printed != kept) std::abort();
  return 0;
}
