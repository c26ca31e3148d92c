// The compression level of the zlib streams cairo starts. Cairo compresses
// every PDF content stream at zlib's default level, which took a sixth of a
// batch's drawing time; the fastest level takes half of that for slightly
// larger streams. Where the drawing libraries are linked from their static
// archives (BOLETO_WRAP_DEFLATE), the link routes every call of
// deflateInit_ in the program to the wrapper here (src/print/CMakeLists.txt:
// --wrap=deflateInit_), which starts the stream at Z_BEST_SPEED whatever
// level its caller asked for, and with a smaller hash table: zlib clears
// the table whenever a stream starts, 64 KB at its default memory level,
// where a page's content stream is some 4 KB.
//
// The wrap applies to every object of the link, not only to cairo:
// - changed: cairo's PDF streams, zlib's own compress() and compress2(), and
//   any deflateInit() written in this program or its tests;
// - unchanged: deflateInit2_ (libpng's PNG rows and gzip files keep the
//   level they ask for) and every shared library loaded at run time (the
//   ODBC drivers, CUPS).
// Touches: nothing but the level and memory of the streams it starts.
#pragma once

#include <zlib.h>

namespace boleto {
// The memory level of the streams the wrapper starts: a hash table of
// 2^(6 + 7) two-byte entries, 16 KB (zlib's default, 8, is 64 KB). The
// streams come out a few bytes longer.
inline constexpr int kDeflateMemoryLevel = 6;
}  // namespace boleto

#ifdef BOLETO_WRAP_DEFLATE
extern "C" {
// Starts a deflate stream at Z_BEST_SPEED, ignoring `level`, at
// kDeflateMemoryLevel.
int __wrap_deflateInit_(z_streamp stream, int level, const char* version, int stream_size);
}
#endif  // BOLETO_WRAP_DEFLATE
