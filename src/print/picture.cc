#include "print/picture.h"

#include <stb_image.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>

namespace boleto {
namespace {

constexpr double kTwipsPerInch = 1440.0;

// RGBA bytes to cairo's premultiplied ARGB32 words.
std::shared_ptr<Picture::Pixels> ToArgb32(const unsigned char* rgba, int width, int height) {
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
      const uint32_t a = src[3];
      const uint32_t r = src[0] * a / 255, g = src[1] * a / 255, b = src[2] * a / 255;
      dst[x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  return out;
}

// Whether a file is a BMP shorter than the size its header states (bytes 2
// to 5, little-endian; 0 where the writer left it out). stb_image would
// read the missing rows as black.
bool IsCutShortBmp(const std::string& path, off_t file_size) {
  unsigned char header[6] = {};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  const size_t read = std::fread(header, 1, sizeof header, file);
  std::fclose(file);
  if (read != sizeof header || header[0] != 'B' || header[1] != 'M') return false;
  const uint32_t stated =
      header[2] | header[3] << 8 | header[4] << 16 | static_cast<uint32_t>(header[5]) << 24;
  return static_cast<uint64_t>(file_size) < stated;
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
  if (IsCutShortBmp(path, info.st_size)) {
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
  auto pixels = ToArgb32(rgba, width, height);
  stbi_image_free(rgba);
  return Picture(std::move(pixels));
}

}  // namespace boleto
