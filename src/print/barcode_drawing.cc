#include "print/barcode_drawing.h"

#include <cmath>

#include "bankrules/barcode.h"

namespace boleto {
namespace {

// Every element runs from module 10 to module 60 below the origin.
constexpr int kBarTopModule = 10;
constexpr int kBarBottomModule = 60;

}  // namespace

Status DrawBarElement(PrinterSurface& surface, const BarElement& element, BarCursor& cursor) {
  const double left = cursor.bar_position_x * kTwipsPerModule + cursor.origin_x;
  const double top = kBarTopModule * kTwipsPerModule + cursor.origin_y;
  const double right = (cursor.bar_position_x + element.width) * kTwipsPerModule + cursor.origin_x;
  const double bottom = kBarBottomModule * kTwipsPerModule + cursor.origin_y;
  const Rgb colour = element.kind == BarElement::Kind::kBar ? kBlack : kWhite;
  BOLETO_RETURN_IF_ERROR(surface.FillRectangle(left, top, right, bottom, colour));
  cursor.bar_position_x = static_cast<int16_t>(cursor.bar_position_x + element.width);
  return Status::Ok();
}

Status DrawBarcode(PrinterSurface& surface, std::string_view printed_line) {
  BarCursor cursor;
  cursor.origin_x = std::nearbyint(surface.CurrentX());  // halves to even
  cursor.origin_y = surface.CurrentY();
  BOLETO_ASSIGN_OR_RETURN(const std::string barcode, BarcodeOfPrintedLine(printed_line));
  BOLETO_ASSIGN_OR_RETURN(const std::vector<BarElement> elements, Interleaved2of5Elements(barcode));
  cursor.bar_position_x = kFirstBarPosition;
  for (const BarElement& element : elements) {
    BOLETO_RETURN_IF_ERROR(DrawBarElement(surface, element, cursor));
  }
  return Status::Ok();
}

}  // namespace boleto
