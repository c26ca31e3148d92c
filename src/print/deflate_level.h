// The compression level of the zlib streams cairo starts. Cairo compresses
// every PDF content stream at zlib's default level, which took a sixth of a
// batch's drawing time; the fastest level takes half of that for slightly
// larger streams. Where the drawing libraries are linked from their static
// archives (BOLETO_WRAP_DEFLATE), the link routes every call of
// deflateInit_ in the program to the wrapper here (src/print/CMakeLists.txt:
// --wrap=deflateInit_), which starts the stream at Z_BEST_SPEED whatever
// level its caller asked for.
//
// The wrap applies to every object of the link, not only to cairo:
// - changed: cairo's PDF streams, zlib's own compress() and compress2(), and
//   any deflateInit() written in this program or its tests;
// - unchanged: deflateInit2_ (libpng's PNG rows and gzip files keep the
//   level they ask for) and every shared library loaded at run time (the
//   ODBC drivers, CUPS).
// Touches: nothing but the level of the streams it starts.
#pragma once

#include <zlib.h>

#ifdef BOLETO_WRAP_DEFLATE
extern "C" {
// zlib's own deflateInit_, as the link names it beside the wrapper.
int __real_deflateInit_(z_streamp stream, int level, const char* version, int stream_size);
// Starts a deflate stream at Z_BEST_SPEED, ignoring `level`.
int __wrap_deflateInit_(z_streamp stream, int level, const char* version, int stream_size);
}
#endif  // BOLETO_WRAP_DEFLATE
