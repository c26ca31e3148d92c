#include "print/deflate_level.h"

#ifdef BOLETO_WRAP_DEFLATE
extern "C" int __wrap_deflateInit_(z_streamp stream, int /*level*/, const char* version,
                                   int stream_size) {
  return deflateInit2_(stream, Z_BEST_SPEED, Z_DEFLATED, MAX_WBITS, boleto::kDeflateMemoryLevel,
                       Z_DEFAULT_STRATEGY, version, stream_size);
}
#endif  // BOLETO_WRAP_DEFLATE
