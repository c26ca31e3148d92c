#include "print/cairo_forms.h"

#include <algorithm>

#include "print/cairo_page_surface.h"
#include "print/cairo_paint.h"

namespace boleto {

PdfForms::~PdfForms() {
  for (auto& layer : layers_) cairo_surface_destroy(layer.second);
  for (auto& group : groups_) {
    for (cairo_surface_t* form : group.second.forms) cairo_surface_destroy(form);
  }
}

Result<PlacedForm> PdfForms::GroupForm(const std::vector<PrinterSurface::Rectangle>& group,
                                       double units_per_twip) {
  double left = group.front().x1, top = group.front().y1, right = left, bottom = top;
  for (const PrinterSurface::Rectangle& r : group) {
    left = std::min(left, r.x1);
    top = std::min(top, r.y1);
    right = std::max(right, r.x2);
    bottom = std::max(bottom, r.y2);
  }
  // The group's shapes from its corner, as the bits of their numbers.
  std::string& shapes = shapes_;
  shapes.clear();
  for (const PrinterSurface::Rectangle& r : group) {
    // White on the page's white paper changes nothing.
    if (r.colour == kWhite) continue;
    const double corners[] = {r.x1 - left, r.y1 - top, r.x2 - left, r.y2 - top};
    shapes.append(reinterpret_cast<const char*>(corners), sizeof corners);
    shapes.append({static_cast<char>(r.colour.red), static_cast<char>(r.colour.green),
                   static_cast<char>(r.colour.blue)});
  }
  Group& kept = groups_[shapes];
  if (kept.page != page_) {
    kept.page = page_;
    kept.uses = 0;
  }
  const size_t use = static_cast<size_t>(kept.uses++);
  if (use == kept.forms.size()) kept.forms.push_back(nullptr);
  cairo_surface_t*& form = kept.forms[use];
  if (form == nullptr) {
    const cairo_rectangle_t extents{0, 0, (right - left) * units_per_twip,
                                    (bottom - top) * units_per_twip};
    form = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
    cairo_t* form_cr = cairo_create(form);
    cairo_scale(form_cr, units_per_twip, units_per_twip);
    // One fill per colour: each time the page names the form, the PDF's
    // analysis replays what the form holds.
    FillByColour(form_cr, group, InkColours(group), -left, -top);
    const Status drawn = CairoStatus(form_cr);
    cairo_destroy(form_cr);
    BOLETO_RETURN_IF_ERROR(drawn);
  }
  return PlacedForm{form, left, top};
}

cairo_surface_t* PdfForms::Layer(std::string_view key) const {
  const auto layer = layers_.find(key);
  return layer == layers_.end() ? nullptr : layer->second;
}

Result<cairo_surface_t*> PdfForms::RecordLayer(
    const std::string& key, cairo_t* page_cr, double units_per_twip,
    const std::function<Status(cairo_t* layer_cr)>& draw) {
  // Drawn as on the page, in twips, into a recording of the page's size.
  const cairo_rectangle_t page{0, 0, kA4WidthTwips * units_per_twip,
                               kA4HeightTwips * units_per_twip};
  cairo_surface_t* recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &page);
  cairo_t* layer_cr = cairo_create(recording);
  cairo_matrix_t twips;
  cairo_get_matrix(page_cr, &twips);
  cairo_set_matrix(layer_cr, &twips);
  cairo_set_line_width(layer_cr, kLineWidthTwips);
  const Status drawn = draw(layer_cr);
  cairo_destroy(layer_cr);
  if (!drawn.ok()) {
    cairo_surface_destroy(recording);
    return drawn.error();
  }
  layers_.emplace(key, recording);
  return recording;
}

}  // namespace boleto
