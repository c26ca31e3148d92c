#include "print/fixed_format.h"

#ifdef BOLETO_WRAP_SNPRINTF_CHK
#include <langinfo.h>

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstring>

extern "C" int __vsnprintf_chk(char* out, size_t size, int flag, size_t out_size,
                               const char* format, va_list arguments);

namespace {

// The most digits after the point the fast way writes: cairo's "%.18f".
constexpr int kMostDecimals = 18;
// The longest text that takes: a sign, the 309 digits of the largest
// double's whole part, the point and the decimals.
constexpr size_t kLongestText = 1 + 309 + 1 + kMostDecimals;

// Writes the number `format` takes from `arguments` into `text` the fast
// way, up to kLongestText characters; the end of the text, or nullptr for a
// format or value left to glibc.
char* WriteFast(char* text, const char* format, va_list arguments) {
  if (format[0] != '%') return nullptr;
  const char* conversion = format + 1;
  if (std::strcmp(conversion, "d") == 0) {
    return std::to_chars(text, text + kLongestText, va_arg(arguments, int)).ptr;
  }
  int precision;
  if (std::strcmp(conversion, "f") == 0) {
    precision = 6;  // printf's default
  } else if (std::strcmp(conversion, ".18f") == 0) {
    precision = 18;
  } else if (std::strcmp(conversion, ".*f") == 0) {
    precision = va_arg(arguments, int);
  } else {
    return nullptr;
  }
  // Another decimal point than ".", as a locale may have, is glibc's.
  const char* point = nl_langinfo(RADIXCHAR);
  if (precision < 0 || precision > kMostDecimals || point[0] != '.' || point[1] != '\0') {
    return nullptr;
  }
  const double value = va_arg(arguments, double);
  if (!std::isfinite(value)) return nullptr;
  const std::to_chars_result written =
      std::to_chars(text, text + kLongestText, value, std::chars_format::fixed, precision);
  return written.ec == std::errc() ? written.ptr : nullptr;
}

}  // namespace

extern "C" int __wrap___snprintf_chk(char* out, size_t size, int flag, size_t out_size,
                                     const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  if (size <= out_size) {  // else glibc's check stops the program
    char text[kLongestText];
    va_list fast;
    va_copy(fast, arguments);
    const char* end = WriteFast(text, format, fast);
    va_end(fast);
    if (end != nullptr) {
      va_end(arguments);
      const size_t length = static_cast<size_t>(end - text);
      if (size > 0) {
        const size_t kept = length < size ? length : size - 1;
        std::memcpy(out, text, kept);
        out[kept] = '\0';
      }
      return static_cast<int>(length);
    }
  }
  const int length = __vsnprintf_chk(out, size, flag, out_size, format, arguments);
  va_end(arguments);
  return length;
}
#endif  // BOLETO_WRAP_SNPRINTF_CHK
