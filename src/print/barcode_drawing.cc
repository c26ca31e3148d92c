#include "print/barcode_drawing.h"

#include <cmath>

#include "bankrules/barcode.h"

namespace boleto {
namespace {

// Every element runs from module 10 to module 60 below the origin.
constexpr int kBarTopModule = 10;
constexpr int kBarBottomModule = 60;

// The rectangle of one element at the cursor, which then moves past it.
PrinterSurface::Rectangle ElementRectangle(const BarElement& element, BarCursor& cursor) {
  PrinterSurface::Rectangle r;
  r.x1 = cursor.bar_position_x * kTwipsPerModule + cursor.origin_x;
  r.y1 = kBarTopModule * kTwipsPerModule + cursor.origin_y;
  r.x2 = (cursor.bar_position_x + element.width) * kTwipsPerModule + cursor.origin_x;
  r.y2 = kBarBottomModule * kTwipsPerModule + cursor.origin_y;
  r.colour = element.kind == BarElement::Kind::kBar ? kBlack : kWhite;
  cursor.bar_position_x = static_cast<int16_t>(cursor.bar_position_x + element.width);
  return r;
}

}  // namespace

Status DrawBarElement(PrinterSurface& surface, const BarElement& element, BarCursor& cursor) {
  const PrinterSurface::Rectangle r = ElementRectangle(element, cursor);
  return surface.FillRectangle(r.x1, r.y1, r.x2, r.y2, r.colour);
}

Status DrawBarcode(PrinterSurface& surface, std::string_view printed_line) {
  BarCursor cursor;
  cursor.origin_x = std::nearbyint(surface.CurrentX());  // halves to even
  cursor.origin_y = surface.CurrentY();
  BOLETO_ASSIGN_OR_RETURN(const std::string barcode, BarcodeOfPrintedLine(printed_line));
  BOLETO_ASSIGN_OR_RETURN(const std::vector<BarElement> elements, Interleaved2of5Elements(barcode));
  cursor.bar_position_x = kFirstBarPosition;
  std::vector<PrinterSurface::Rectangle> rectangles;
  rectangles.reserve(elements.size());
  for (const BarElement& element : elements) {
    rectangles.push_back(ElementRectangle(element, cursor));
  }
  return surface.FillRectangles(rectangles);
}

}  // namespace boleto
