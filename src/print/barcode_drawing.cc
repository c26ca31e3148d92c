#include "print/barcode_drawing.h"

#include <cmath>

#include "bankrules/barcode.h"

namespace boleto {
namespace {

// Every element runs from module 10 to module 60 below the origin.
constexpr int kBarTopModule = 10;
constexpr int kBarBottomModule = 60;
// Interleaved 2 of 5: a start of two bars and two spaces, then five bars
// and five spaces for each pair of digits, then the stop.
constexpr size_t kStartElements = 4;
constexpr size_t kPairElements = 10;

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
  // The start, each pair of digits and the stop, each a group of the
  // surface's: a pair is the same ten bars and spaces wherever it recurs.
  std::vector<PrinterSurface::Rectangle> group;
  for (size_t i = 0; i < elements.size(); ++i) {
    group.push_back(ElementRectangle(elements[i], cursor));
    const bool start_ends = i + 1 == kStartElements;
    const bool pair_ends = i + 1 > kStartElements && (i + 1 - kStartElements) % kPairElements == 0;
    if (start_ends || pair_ends || i + 1 == elements.size()) {
      BOLETO_RETURN_IF_ERROR(surface.FillRectangleGroup(group));
      group.clear();
    }
  }
  return Status::Ok();
}

}  // namespace boleto
