#include "print/fixed_format.h"

#ifdef BOLETO_WRAP_SNPRINTF_CHK
#include <langinfo.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstring>

extern "C" int __vsnprintf_chk(char* out, size_t size, int flag, size_t out_size,
                               const char* format, va_list arguments);

namespace {

// The most digits after the point the fast way writes: cairo's "%.18f".
constexpr int kMostDecimals = 18;
// The longest text that takes: a sign, the 309 digits of the largest
// double's whole part, the point and the decimals.
constexpr size_t kLongestText = 1 + 309 + 1 + kMostDecimals;

// 10 to the n-th, for n up to kMostDecimals.
constexpr auto kPowersOfTen = [] {
  std::array<uint64_t, kMostDecimals + 1> powers{};
  uint64_t power = 1;
  for (uint64_t& p : powers) {
    p = power;
    power *= 10;
  }
  return powers;
}();

// Writes a finite value below 2^63 with `decimals` digits after the point,
// rounded as printf rounds: the value's exact binary digits times
// 10^decimals, to the nearest integer, ties to even, all in 128 bits
// (a 53-bit significand times 10^18 is below 2^113). The end of the text.
// REQUIRES: 0 <= decimals <= kMostDecimals, |value| < 2^63.
char* WriteFixed(char* text, double value, int decimals) {
  if (std::signbit(value)) *text++ = '-';
  // value = significand * 2^-shift exactly (IEEE 754 binary64: 52 stored
  // bits of significand, an 11-bit exponent biased by 1023).
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const int biased = static_cast<int>(bits >> 52 & 0x7ff);
  uint64_t significand = bits & ((uint64_t{1} << 52) - 1);
  if (biased != 0) significand |= uint64_t{1} << 52;  // else subnormal
  const int shift = 1075 - (biased == 0 ? 1 : biased);
  using Wide = unsigned __int128;
  Wide scaled = static_cast<Wide>(significand) * kPowersOfTen[decimals];
  if (shift <= 0) {
    scaled <<= -shift;  // an integer: below 2^63 * 10^18 < 2^123
  } else if (shift >= 128) {
    scaled = 0;  // below half a unit of the last decimal: zero
  } else {
    const Wide rest = scaled & ((static_cast<Wide>(1) << shift) - 1);
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    scaled >>= shift;
    if (rest > half || (rest == half && (scaled & 1) != 0)) ++scaled;
  }
  uint64_t whole, decimal;
  if (scaled >> 64 == 0) {  // mostly: 64-bit division is the faster
    whole = static_cast<uint64_t>(scaled) / kPowersOfTen[decimals];
    decimal = static_cast<uint64_t>(scaled) % kPowersOfTen[decimals];
  } else {
    whole = static_cast<uint64_t>(scaled / kPowersOfTen[decimals]);
    decimal = static_cast<uint64_t>(scaled % kPowersOfTen[decimals]);
  }
  text = std::to_chars(text, text + 20, whole).ptr;  // 2^64 has 20 digits
  if (decimals == 0) return text;
  *text++ = '.';
  for (int digit = decimals - 1; digit >= 0; --digit) {
    text[digit] = static_cast<char>('0' + decimal % 10);
    decimal /= 10;
  }
  return text + decimals;
}

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
  // Below 2^63, as every coordinate, exactly in 128 bits.
  if (std::fabs(value) < 0x1p63) return WriteFixed(text, value, precision);
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
