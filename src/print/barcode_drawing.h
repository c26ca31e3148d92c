// Draws the boleto's barcode on the page from the printed digitable line, so
// that the bars always agree with the line the payer reads. The line is cut
// into its eight digit groups, the 44-digit barcode is put back together in
// bank order and drawn in Interleaved 2 of 5 as filled rectangles, black bars
// and white spaces, 15 twips to the module, from the current position.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "print/interleaved_2of5.h"
#include "print/printer_surface.h"

namespace boleto {

// Twips per barcode module: narrow elements are 15 twips wide, wide ones 45.
inline constexpr int kTwipsPerModule = 15;
// Running position of the first element, in modules right of the origin.
inline constexpr int16_t kFirstBarPosition = 10;

// The eight digit groups of a printed line: field 1 (5 + 5), field 2 (5 + 6),
// field 3 (5 + 6), the barcode check digit and the factor with the amount.
using PrintedLineGroups = std::array<std::string, 8>;

// Cuts a printed digitable line at character positions 1-5, 7-11, 13-17,
// 19-24, 26-30, 32-37, 39 and 41-54. A line that is not 54 characters with
// "." and " " at the separator positions is an error (5).
Result<PrintedLineGroups> SplitPrintedLine(std::string_view printed_line);

// The 44-digit barcode of the groups: bank and currency, check digit, factor
// and amount, then the 25-digit free field without the field check digits.
// Groups of the wrong length or with non-digits are an error (5).
Result<std::string> BarcodeFromGroups(const PrintedLineGroups& groups);

// Where the next element goes: the running position in modules and the
// origin read from the surface's current position when the drawing began.
struct BarCursor {
  int16_t bar_position_x = kFirstBarPosition;
  double origin_x = 0;  // twips, rounded to a whole number
  double origin_y = 0;  // twips
};

// Paints one element at the running position and advances it by the
// element's width.
Status DrawBarElement(PrinterSurface& surface, const BarElement& element, BarCursor& cursor);

// Draws the whole barcode of the groups with its origin at the current
// position (which it leaves unchanged): 4 start, 220 data and 4 stop
// elements, 406 modules from 150 to 6240 twips right of the origin and from
// 150 to 900 twips below it. Nothing is drawn for malformed groups.
Status DrawBarcode(PrinterSurface& surface, const PrintedLineGroups& groups);

}  // namespace boleto
