// The PNG page: its pixels, an RGB image of the A4 page at 300 dots per
// inch held in memory mapped for it, and the finished page written as a PNG
// file. Touches: memory only; the file's bytes go to the caller.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <string>

#include "platform/status.h"
#include "print/cairo_page_surface.h"

namespace boleto {

// Pixels of the PNG page per twip.
inline constexpr double kPngPixelsPerTwip = kPngDpi / kTwipsPerInch;

// The PNG page's pixels, some 35 MB of them, painted white at once: mapped
// on 2 MiB pages where the system offers them, a few dozen faults instead of
// some 8,500 for 4 KiB pages.
class PagePixels {
 public:
  PagePixels();
  PagePixels(const PagePixels&) = delete;
  PagePixels& operator=(const PagePixels&) = delete;
  ~PagePixels();

  // Zeroed memory for `size` bytes; false where none can be had.
  bool Allocate(size_t size);
  unsigned char* data() const { return data_; }

 private:
  void* mapping_;  // MAP_FAILED until allocated
  size_t mapping_size_ = 0;
  unsigned char* data_ = nullptr;
};

// The image surface of the whole page over `pixels`, which must outlive it
// (the caller checks the surface's status); an error (482) where no memory
// can be had for the pixels.
Result<cairo_surface_t*> CreateRasterPage(PagePixels& pixels);

// Appends the finished page (an RGB24 image surface) to `out` as an 8-bit
// RGB PNG with its resolution; an error (482) where libpng fails.
Status WritePng(cairo_surface_t* page, std::string* out);

}  // namespace boleto
