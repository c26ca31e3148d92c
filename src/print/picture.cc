#include "print/picture.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/stat.h>

#include <cstdlib>

namespace boleto {
namespace {

constexpr double kTwipsPerInch = 1440.0;

// The resolution a loader found in the file ("x-dpi"/"y-dpi"), if any.
double OptionDpi(GdkPixbuf* pixbuf, const char* key) {
  const char* text = gdk_pixbuf_get_option(pixbuf, key);
  if (text == nullptr) return kDefaultPictureDpi;
  double dpi = std::strtod(text, nullptr);
  return dpi > 0 ? dpi : kDefaultPictureDpi;
}

// RGB or RGBA bytes to cairo's premultiplied ARGB32 words.
std::shared_ptr<Picture::Pixels> ToArgb32(GdkPixbuf* pixbuf) {
  auto out = std::make_shared<Picture::Pixels>();
  out->width = gdk_pixbuf_get_width(pixbuf);
  out->height = gdk_pixbuf_get_height(pixbuf);
  out->stride = out->width * 4;
  out->dpi_x = OptionDpi(pixbuf, "x-dpi");
  out->dpi_y = OptionDpi(pixbuf, "y-dpi");
  out->argb32.resize(static_cast<size_t>(out->stride) * out->height);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  const int in_stride = gdk_pixbuf_get_rowstride(pixbuf);
  const guchar* in = gdk_pixbuf_read_pixels(pixbuf);
  for (int y = 0; y < out->height; ++y) {
    const guchar* src = in + static_cast<size_t>(y) * in_stride;
    auto* dst =
        reinterpret_cast<uint32_t*>(out->argb32.data() + static_cast<size_t>(y) * out->stride);
    for (int x = 0; x < out->width; ++x, src += channels) {
      uint32_t a = alpha ? src[3] : 255;
      uint32_t r = src[0] * a / 255, g = src[1] * a / 255, b = src[2] * a / 255;
      dst[x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  return out;
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
  GError* error = nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path.c_str(), &error);
  if (pixbuf == nullptr) {
    std::string why = error != nullptr ? error->message : "unknown format";
    if (error != nullptr) g_error_free(error);
    return MakeError(error_number::kInvalidPicture, "Invalid picture: " + path + " (" + why + ")");
  }
  if (gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB ||
      gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || gdk_pixbuf_get_n_channels(pixbuf) < 3) {
    g_object_unref(pixbuf);
    return MakeError(error_number::kInvalidPicture,
                     "Invalid picture: " + path + " (unsupported pixel format)");
  }
  auto pixels = ToArgb32(pixbuf);
  g_object_unref(pixbuf);
  return Picture(std::move(pixels));
}

}  // namespace boleto
