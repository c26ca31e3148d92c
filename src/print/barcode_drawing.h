// Draws the boleto's barcode on the page from the printed digitable line, so
// that the bars always agree with the line the payer reads. The 44-digit
// barcode is put back together from the line's digit groups (BarcodeOfPrintedLine)
// and drawn in Interleaved 2 of 5 as filled rectangles, black bars and white
// spaces, 15 twips to the module, from the current position.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "bankrules/interleaved_2of5.h"
#include "platform/status.h"
#include "print/printer_surface.h"

namespace boleto {

// Twips per barcode module: narrow elements are 15 twips wide, wide ones 45.
inline constexpr int kTwipsPerModule = 15;
// Running position of the first element, in modules right of the origin.
inline constexpr int16_t kFirstBarPosition = 10;

// Where the next element goes: the running position in modules and the
// origin read from the surface's current position when the drawing began.
struct BarCursor {
  int16_t bar_position_x = kFirstBarPosition;
  double origin_x = 0;  // twips, rounded to a whole number
  double origin_y = 0;  // twips
};

// Paints one element at the running position, a bar black and a space
// white, from module 10 to module 60 below the origin, and advances the
// position by the element's width.
Status DrawBarElement(PrinterSurface& surface, const BarElement& element, BarCursor& cursor);

// Draws the barcode of a printed digitable line with its origin at the
// current position (which it leaves unchanged): the 44 digits cut back out
// of the line's eight digit groups, in 4 start, 220 data and 4 stop
// elements, 406 modules from 150 to 6240 twips right of the origin and from
// 150 to 900 twips below it. A line that cannot become a barcode is an error
// (5) and nothing is drawn.
Status DrawBarcode(PrinterSurface& surface, std::string_view printed_line);

}  // namespace boleto
