#include "print/raster_page.h"

#include <png.h>
#include <sys/mman.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace boleto {

PagePixels::PagePixels() : mapping_(MAP_FAILED) {}

PagePixels::~PagePixels() {
  if (mapping_ != MAP_FAILED) munmap(mapping_, mapping_size_);
}

bool PagePixels::Allocate(size_t size) {
  constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
  mapping_size_ = size + kLargePage;  // room to start on a large-page boundary
  mapping_ =
      mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping_ == MAP_FAILED) return false;
  const uintptr_t start =
      (reinterpret_cast<uintptr_t>(mapping_) + kLargePage - 1) & ~(kLargePage - 1);
  data_ = reinterpret_cast<unsigned char*>(start);
  // Advice only: without large pages the page works the same, slower.
  madvise(data_, size, MADV_HUGEPAGE);
  return true;
}

Result<cairo_surface_t*> CreateRasterPage(PagePixels& pixels) {
  const int width = static_cast<int>(std::lround(kA4WidthTwips * kPngPixelsPerTwip));
  const int height = static_cast<int>(std::lround(kA4HeightTwips * kPngPixelsPerTwip));
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width);
  if (!pixels.Allocate(static_cast<size_t>(stride) * height)) {
    return MakeError(error_number::kPrinterFailure,
                     "Cannot create the printer page: out of memory");
  }
  return cairo_image_surface_create_for_data(pixels.data(), CAIRO_FORMAT_RGB24, width, height,
                                             stride);
}

// The page is mostly white paper: rows go unfiltered through deflate's
// fastest level, which keeps the file small (some 600 KB) at a quarter of
// the cost of the default filter search and compression.
Status WritePng(cairo_surface_t* page, std::string* out) {
  const int width = cairo_image_surface_get_width(page);
  const int height = cairo_image_surface_get_height(page);
  const int stride = cairo_image_surface_get_stride(page);
  const unsigned char* data = cairo_image_surface_get_data(page);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr || data == nullptr) {
    png_destroy_write_struct(&png, &info);
    return MakeError(error_number::kPrinterFailure, "Cannot write the page as PNG");
  }
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return MakeError(error_number::kPrinterFailure, "Cannot write the page as PNG");
  }
  png_set_write_fn(
      png, out,
      [](png_structp p, png_bytep bytes, png_size_t length) {
        static_cast<std::string*>(png_get_io_ptr(p))
            ->append(reinterpret_cast<char*>(bytes), length);
      },
      nullptr);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // An inch is 0.0254 metres.
  const png_uint_32 dots_per_metre = static_cast<png_uint_32>(std::lround(kPngDpi / 0.0254));
  png_set_pHYs(png, info, dots_per_metre, dots_per_metre, PNG_RESOLUTION_METER);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, Z_BEST_SPEED);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    // Cairo's RGB24 pixels are native-endian 32-bit words 0x00RRGGBB.
    const uint32_t* in = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    png_byte* o = row.data();
    for (int x = 0; x < width; ++x, o += 3) {
      o[0] = static_cast<png_byte>(in[x] >> 16);
      o[1] = static_cast<png_byte>(in[x] >> 8);
      o[2] = static_cast<png_byte>(in[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return Status::Ok();
}

}  // namespace boleto
