#include "print/picture.h"

#include <stb_image.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace boleto {
namespace {

constexpr double kTwipsPerInch = 1440.0;

// RGBA bytes to cairo's premultiplied ARGB32 words; an opaque picture's
// alpha bytes are not read.
std::shared_ptr<Picture::Pixels> ToArgb32(const unsigned char* rgba, int width, int height,
                                          bool opaque) {
  auto out = std::make_shared<Picture::Pixels>();
  out->width = width;
  out->height = height;
  out->stride = width * 4;
  out->argb32.resize(static_cast<size_t>(out->stride) * height);
  const unsigned char* src = rgba;
  for (int y = 0; y < height; ++y) {
    auto* dst =
        reinterpret_cast<uint32_t*>(out->argb32.data() + static_cast<size_t>(y) * out->stride);
    for (int x = 0; x < width; ++x, src += 4) {
      const uint32_t a = opaque ? 255 : src[3];
      const uint32_t r = src[0] * a / 255, g = src[1] * a / 255, b = src[2] * a / 255;
      dst[x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  return out;
}

// BMP compression values of uncompressed rows: plain, and with colour masks
// (without and with an alpha mask).
constexpr uint32_t kBmpRgb = 0;
constexpr uint32_t kBmpBitfields = 3;
constexpr uint32_t kBmpAlphaBitfields = 6;

// What the headers of a BMP file say about its pixels.
struct BmpLayout {
  uint32_t pixel_offset = 0;  // where the rows start in the file
  int64_t width = 0;
  int64_t rows = 0;  // stored bottom-up (positive height) or top-down
  int bits = 0;      // per pixel
  uint32_t compression = kBmpRgb;
};

// The layout of a BMP file; nothing for a file that is no BMP or whose
// headers are cut short (the loader refuses both).
std::optional<BmpLayout> ReadBmpLayout(const std::string& path) {
  // The file header (14 bytes) and the info header up to its compression
  // field, bytes 30 to 33.
  unsigned char header[34] = {};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  const size_t read = std::fread(header, 1, sizeof header, file);
  std::fclose(file);
  // Little-endian fields.
  auto u16 = [&](int at) { return static_cast<uint32_t>(header[at] | header[at + 1] << 8); };
  auto u32 = [&](int at) { return u16(at) | u16(at + 2) << 16; };
  // An OS/2 1.x core header (12 bytes) ends at byte 26.
  constexpr size_t kCoreHeaderEnd = 26;
  if (read < kCoreHeaderEnd || header[0] != 'B' || header[1] != 'M') return std::nullopt;
  BmpLayout layout;
  layout.pixel_offset = u32(10);
  if (u32(14) == 12) {
    // The core header: 16-bit sizes, rows bottom-up, never compressed.
    layout.width = u16(18);
    layout.rows = u16(20);
    layout.bits = static_cast<int>(u16(24));
    return layout;
  }
  if (read < sizeof header) return std::nullopt;
  layout.width = static_cast<int32_t>(u32(18));
  layout.rows = std::abs(static_cast<int64_t>(static_cast<int32_t>(u32(22))));
  layout.bits = static_cast<int>(u16(28));
  layout.compression = u32(30);
  return layout;
}

// Whether the rows of an uncompressed BMP run past the end of the file, by
// the size of its pixels and not by the file size its header states (which
// writers leave 0, or state larger than what they write). Rows are padded
// to four bytes; a last row without its padding is whole. stb_image would
// read the missing pixels as black.
bool IsCutShort(const BmpLayout& bmp, uint64_t file_size) {
  if (bmp.compression != kBmpRgb && bmp.compression != kBmpBitfields &&
      bmp.compression != kBmpAlphaBitfields) {
    return false;  // compressed rows, which the loader refuses
  }
  if (bmp.width <= 0 || bmp.rows == 0 || bmp.bits <= 0) return false;  // refused as well
  const uint64_t row_bits = static_cast<uint64_t>(bmp.width) * bmp.bits;
  const uint64_t padded_row = (row_bits + 31) / 32 * 4;
  const uint64_t last_row = (row_bits + 7) / 8;
  if (file_size < uint64_t{bmp.pixel_offset} + last_row) return true;
  const uint64_t rows_before_last = (file_size - bmp.pixel_offset - last_row) / padded_row;
  return rows_before_last < static_cast<uint64_t>(bmp.rows - 1);
}

}  // namespace

double Picture::WidthTwips() const {
  return empty() ? 0 : pixels_->width * kTwipsPerInch / pixels_->dpi_x;
}

double Picture::HeightTwips() const {
  return empty() ? 0 : pixels_->height * kTwipsPerInch / pixels_->dpi_y;
}

Result<Picture> LoadPicture(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return MakeError(error_number::kFileNotFound, "File not found: " + path);
  }
  const std::optional<BmpLayout> bmp = ReadBmpLayout(path);
  if (bmp && IsCutShort(*bmp, static_cast<uint64_t>(info.st_size))) {
    return MakeError(error_number::kInvalidPicture,
                     "Invalid picture: " + path + " (the bitmap is cut short)");
  }
  // Four channels whatever the file holds: palettes are looked up and a
  // picture without alpha is opaque.
  constexpr int kRgba = 4;
  int width = 0, height = 0, channels = 0;
  unsigned char* rgba = stbi_load(path.c_str(), &width, &height, &channels, kRgba);
  if (rgba == nullptr) {
    const char* why = stbi_failure_reason();
    return MakeError(
        error_number::kInvalidPicture,
        "Invalid picture: " + path + " (" + (why != nullptr ? why : "unknown format") + ")");
  }
  // The fourth byte of a plain 32-bit BMP pixel is reserved, not alpha:
  // Windows paints such a bitmap opaque whatever the writer left there;
  // stb_image takes it as alpha unless it is 0 everywhere.
  const bool opaque = bmp && bmp->bits == 32 && bmp->compression == kBmpRgb;
  auto pixels = ToArgb32(rgba, width, height, opaque);
  stbi_image_free(rgba);
  return Picture(std::move(pixels));
}

}  // namespace boleto
