// Pictures as the layout forms hold them: a bitmap loaded from a file (a
// company or bank logo), or the empty picture whose handle is 0. Loading goes
// through stb_image; the pixels are kept ready for painting (cairo ARGB32,
// premultiplied) together with the resolution that gives the natural size:
// 96 pixels per inch, a screen's, whatever the file says, as Windows sizes
// a loaded bitmap.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"

namespace boleto {

// Pixels per inch assumed where a bitmap carries no resolution of its own.
inline constexpr double kDefaultPictureDpi = 96.0;

class Picture {
 public:
  struct Pixels {
    int width = 0;   // pixels
    int height = 0;  // pixels
    int stride = 0;  // bytes per row
    double dpi_x = kDefaultPictureDpi;
    double dpi_y = kDefaultPictureDpi;
    std::vector<uint8_t> argb32;  // premultiplied, native-endian 32-bit words
  };

  // The empty picture: handle 0, nothing to paint.
  Picture() = default;
  explicit Picture(std::shared_ptr<const Pixels> pixels) : pixels_(std::move(pixels)) {}

  bool empty() const { return pixels_ == nullptr; }
  // 0 for the empty picture, a non-zero value for a loaded one.
  uintptr_t handle() const { return reinterpret_cast<uintptr_t>(pixels_.get()); }
  const Pixels* pixels() const { return pixels_.get(); }

  // Natural size in twips (1440 per inch); 0 for the empty picture.
  double WidthTwips() const;
  double HeightTwips() const;

 private:
  std::shared_ptr<const Pixels> pixels_;
};

// Loads a bitmap file (BMP of 1 to 32 bits per pixel without run-length
// compression, PNG, JPEG, GIF). A missing file is error 53, a file that is
// no picture (or a compressed BMP, or one whose rows run past the end of
// the file) error 481; both name the path.
Result<Picture> LoadPicture(const std::string& path);

}  // namespace boleto
