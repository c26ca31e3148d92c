#include "print/cairo_paint.h"

#include <algorithm>
#include <string>

namespace boleto {

void SetSourceColour(cairo_t* cr, Rgb colour) {
  cairo_set_source_rgb(cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0);
}

std::vector<Rgb> InkColours(const std::vector<PrinterSurface::Rectangle>& rectangles) {
  std::vector<Rgb> colours;
  for (const PrinterSurface::Rectangle& r : rectangles) {
    if (r.colour == kWhite) continue;
    if (std::find(colours.begin(), colours.end(), r.colour) == colours.end()) {
      colours.push_back(r.colour);
    }
  }
  return colours;
}

void FillByColour(cairo_t* cr, const std::vector<PrinterSurface::Rectangle>& rectangles,
                  const std::vector<Rgb>& colours, double dx, double dy) {
  for (const Rgb colour : colours) {
    SetSourceColour(cr, colour);
    for (const PrinterSurface::Rectangle& r : rectangles) {
      if (r.colour == colour) cairo_rectangle(cr, r.x1 + dx, r.y1 + dy, r.x2 - r.x1, r.y2 - r.y1);
    }
    cairo_fill(cr);
  }
}

void PaintKept(cairo_t* cr, cairo_surface_t* kept, double x, double y) {
  cairo_save(cr);
  cairo_identity_matrix(cr);
  cairo_set_source_surface(cr, kept, x, y);
  cairo_paint(cr);
  cairo_restore(cr);
}

Status CairoStatus(cairo_t* cr) {
  const cairo_status_t status = cairo_status(cr);
  if (status != CAIRO_STATUS_SUCCESS) return CairoFailure(status);
  return Status::Ok();
}

Error CairoFailure(cairo_status_t status) {
  return MakeError(error_number::kPrinterFailure,
                   std::string("Printer page failure: ") + cairo_status_to_string(status));
}

}  // namespace boleto
