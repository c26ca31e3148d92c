// The printer page as the boleto draws on it, addressed in twips (1/1440
// inch, 1/20 point), x to the right and y downwards from the scale origin.
// The surface keeps a current position and a current font; text is printed
// with its top left corner at the current position. Implementations: the
// cairo page (PDF or PNG) and a recording surface for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "print/picture.h"

namespace boleto {

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(Rgb, Rgb) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};

// Twips per point; text sizes are given in points.
inline constexpr double kTwipsPerPoint = 20.0;
inline constexpr double kTwipsPerInch = 1440.0;
// A4 portrait: 210 mm by 297 mm.
inline constexpr double kA4WidthTwips = 210.0 / 25.4 * kTwipsPerInch;
inline constexpr double kA4HeightTwips = 297.0 / 25.4 * kTwipsPerInch;

class PrinterSurface {
 public:
  virtual ~PrinterSurface() = default;

  // Current font. Bold and italic are separate flags; PrinterSetup clears both.
  virtual void SetFontName(std::string_view name) = 0;
  virtual void SetFontSize(double points) = 0;
  virtual void SetFontBold(bool bold) = 0;
  virtual void SetFontItalic(bool italic) = 0;
  virtual std::string FontName() const = 0;
  virtual double FontSize() const = 0;
  virtual bool FontBold() const = 0;

  // Printed width and height of a text in the current font, in twips.
  virtual double TextWidth(std::string_view text) = 0;
  virtual double TextHeight(std::string_view text) = 0;

  // Width of the printable page in twips, and the x coordinate of its left
  // edge (0 until moved).
  virtual double ScaleWidth() const = 0;
  virtual double ScaleLeft() const = 0;
  virtual void SetScaleLeft(double x) = 0;

  virtual double CurrentX() const = 0;
  virtual double CurrentY() const = 0;
  virtual void SetCurrentX(double x) = 0;
  virtual void SetCurrentY(double y) = 0;

  // Prints a text (UTF-8) with its top left corner at the current position,
  // then moves to the start of the next line: x to the left edge, y down by
  // the text's height. An empty text still moves.
  virtual Status PrintText(std::string_view text) = 0;
  // A straight line between two points, in the surface's line width.
  virtual Status DrawLine(double x1, double y1, double x2, double y2, Rgb colour) = 0;
  // A rectangle between two corners, filled with one colour.
  virtual Status FillRectangle(double x1, double y1, double x2, double y2, Rgb colour) = 0;
  struct Rectangle {
    double x1, y1, x2, y2;
    Rgb colour;
  };
  // Rectangles that do not overlap, filled as if one after the other (a
  // barcode's bars and spaces); a surface may fill those of one colour at
  // once.
  virtual Status FillRectangles(const std::vector<Rectangle>& rectangles) {
    for (const Rectangle& r : rectangles) {
      if (Status filled = FillRectangle(r.x1, r.y1, r.x2, r.y2, r.colour); !filled.ok()) {
        return filled;
      }
    }
    return Status::Ok();
  }
  // Rectangles as FillRectangles takes them that recur together, the same
  // shapes side by side (the bars and spaces of a barcode's character): a
  // surface may keep each distinct group and place it again where it
  // recurs. What is drawn is what FillRectangles draws.
  virtual Status FillRectangleGroup(const std::vector<Rectangle>& group) {
    return FillRectangles(group);
  }
  // A picture at its natural size with its top left corner at (x, y); the
  // empty picture paints nothing.
  virtual Status PaintPicture(const Picture& picture, double x, double y) = 0;

  // The colour of the texts printed from now on (black until set). A
  // surface that prints in one colour only ignores it.
  virtual void SetTextColour(Rgb) {}

  // Whether the surface keeps layers: parts many pages share, drawn once and
  // painted on each page that shows them. A page then draws its shared parts
  // through PaintLayer.
  virtual bool KeepsLayers() const { return false; }
  // Paints the layer known by `key` at the page's origin; the first time a
  // key comes, `draw` draws the layer on the surface. A surface that keeps no
  // layers draws it on the page every time.
  virtual Status PaintLayer(const std::string& key,
                            const std::function<Status(PrinterSurface&)>& draw) {
    (void)key;
    return draw(*this);
  }

  // Whether nothing has been drawn on the current page yet. A surface that
  // does not keep track says false.
  virtual bool PageBlank() const { return false; }

  // Takes everything drawn on the current page off it again: the page is
  // blank, and nothing drawn on it reaches the document. An error (482)
  // where the surface cannot; the page then keeps what was drawn.
  virtual Status ClearPage() {
    return MakeError(error_number::kPrinterFailure, "This page surface cannot clear a page");
  }

  // Ends the current page and starts a new, blank one of the same document;
  // an error (482) where the surface holds one page only.
  virtual Status NewPage() {
    return MakeError(error_number::kPrinterFailure, "This page surface holds one page only");
  }
  // Completes the page (hands it to the printer where the surface has one).
  virtual Status CompletePage() = 0;
  // Finishes the print job.
  virtual Status EndJob() = 0;
};

}  // namespace boleto
