#include "print/deflate_level.h"

#ifdef BOLETO_WRAP_DEFLATE
extern "C" int __wrap_deflateInit_(z_streamp stream, int /*level*/, const char* version,
                                   int stream_size) {
  return __real_deflateInit_(stream, Z_BEST_SPEED, version, stream_size);
}
#endif  // BOLETO_WRAP_DEFLATE
