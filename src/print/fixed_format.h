// The decimal texts of the numbers cairo writes into a PDF. Cairo formats
// every coordinate and size through snprintf with "%f", "%.18f" or "%.*f",
// and its integers with "%d" (a fifth of the time a page took to write
// went to glibc's formatting of them). Where the drawing libraries are
// linked from their static archives (BOLETO_WRAP_SNPRINTF_CHK), the link
// routes every call of __snprintf_chk in those archives (snprintf, as the
// fortified archives call it) to the wrapper here (src/print/CMakeLists.txt:
// --wrap=__snprintf_chk). It writes exactly the text glibc writes:
// - "%d" by std::to_chars, and a finite double in exactly one of the three
//   formats above with a precision of 0 to 18 where the locale's decimal
//   point is ".", rounded as printf rounds in the C locale (the exact value,
//   ties to even): below 2^63 in 128-bit integers, above by std::to_chars;
// - anything else by glibc's own __vsnprintf_chk, checks included.
// Shared libraries loaded at run time (the ODBC drivers, CUPS) and this
// program's own snprintf calls, unfortified, keep glibc's. Pure: no state.
#pragma once

#include <cstddef>

#ifdef BOLETO_WRAP_SNPRINTF_CHK
extern "C" {
// Formats as glibc's __snprintf_chk; the formats above faster.
int __wrap___snprintf_chk(char* out, size_t size, int flag, size_t out_size, const char* format,
                          ...);
}
#endif  // BOLETO_WRAP_SNPRINTF_CHK
