// The cairo calls every part of the cairo page shares: colours as cairo
// sources, rectangles filled a colour at a time, a kept drawing (a form, a
// layer) painted in device units, and cairo's failures as errors (482).
// Touches: only the cairo context it is given.
#pragma once

#include <cairo.h>

#include <vector>

#include "platform/status.h"
#include "print/printer_surface.h"

namespace boleto {

// Makes `colour` the source of what `cr` draws next.
void SetSourceColour(cairo_t* cr, Rgb colour);

// The colours of `rectangles` in their first order, without white: white on
// the page's white paper changes nothing.
std::vector<Rgb> InkColours(const std::vector<PrinterSurface::Rectangle>& rectangles);

// Fills the rectangles of each of `colours` with one path and one fill,
// every corner moved by (dx, dy): a barcode is two operations instead of
// two hundred.
void FillByColour(cairo_t* cr, const std::vector<PrinterSurface::Rectangle>& rectangles,
                  const std::vector<Rgb>& colours, double dx, double dy);

// Paints a kept drawing with its origin at (x, y) in device units, leaving
// the context's transformation and source as they were.
void PaintKept(cairo_t* cr, cairo_surface_t* kept, double x, double y);

// The error (482) of a context cairo reports failed, or Ok.
Status CairoStatus(cairo_t* cr);

// The error (482) of a failed drawing: "Printer page failure: " and cairo's
// description.
Error CairoFailure(cairo_status_t status);

}  // namespace boleto
