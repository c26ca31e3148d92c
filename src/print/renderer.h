// Copies a filled-in layout form onto the printer page, control by control in
// the form's order, shifted by a page offset: labels print their captions,
// lines are drawn in black between their stored end points, picture boxes
// paint their picture, print the bank description where no logo is loaded,
// or, for the barcode area of the compensation part, draw the barcode of the
// digitable line held by "nr". The renderer only draws; captions, pictures,
// the page and the job belong to the run.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/status.h"
#include "print/layout_form.h"
#include "print/printer_surface.h"

namespace boleto {

// Where a form's template origin lands on the page, in twips.
struct PageOffset {
  int16_t x = 0;
  int16_t y = 0;
};

// The receipt stub at the top of the page, the compensation part 8000 twips
// below it.
inline constexpr PageOffset kReceiptStubOffset{360, 0};
inline constexpr PageOffset kCompensationPartOffset{360, 8000};

// A right-aligned label is placed as if every character were 120 twips wide,
// whatever its font.
inline constexpr int kAssumedCharacterWidth = 120;

// Draws every control of the form at the offsets. bank_description is the
// caption of txtDescBanco, printed in a logo box that holds no picture.
Status RenderLayoutForm(PrinterSurface& target, const LayoutForm& form, int16_t vertical_offset,
                        int16_t horizontal_offset, std::string_view bank_description);

// A value the run fills in from data never runs over the next field: where
// it would cross its label's right edge it is set smaller, in steps of a
// quarter point down to this size, and what is still too wide is cut at the
// edge, whole characters at a time. Fixed titles print as they stand.
inline constexpr double kSmallestDataTextPoints = 6.0;

// Prints a label's text at its place in the label's font name and size (the
// weight stays as the surface has it); a value is fitted to the label.
Status RenderLabel(PrinterSurface& target, const Control& label, std::string_view text,
                   PageOffset offset);

// Draws a line in black from its first to its second stored point.
Status RenderLine(PrinterSurface& target, const Control& line, PageOffset offset);

// Draws a picture box of the form: the barcode area, the bank description
// where no picture is loaded, or the picture at its natural size.
Status RenderPictureBox(PrinterSurface& target, const LayoutForm& form, const Control& box,
                        PageOffset offset, std::string_view bank_description);

// Both parts of the boleto on one page: the receipt stub, then the
// compensation part.
Status RenderBoletoPage(PrinterSurface& target, const LayoutForm& receipt_stub,
                        const LayoutForm& compensation_part, std::string_view bank_description);

}  // namespace boleto
