// The drawings a PDF document holds once however often its pages show them:
// rectangle groups (a barcode's bars) kept as forms, and layers (the fixed
// parts of a form) kept by key. Each is a cairo recording surface in device
// units, which the page paints where it recurs. Touches: nothing beyond the
// recordings it keeps and the context it is given.
#pragma once

#include <cairo.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/status.h"
#include "print/printer_surface.h"

namespace boleto {

// A form placed on the page: the recording and the twips of its top left
// corner on the page.
struct PlacedForm {
  cairo_surface_t* form;  // the forms', not owned
  double left;
  double top;
};

class PdfForms {
 public:
  PdfForms() = default;
  ~PdfForms();
  PdfForms(const PdfForms&) = delete;
  PdfForms& operator=(const PdfForms&) = delete;

  // The form of a rectangle group for its next use on the current page,
  // drawn the first time its shapes come at that use; an error (482) where
  // cairo cannot draw it. A group drawn twice on a page is two forms, as a
  // picture is. REQUIRES: `group` is not empty.
  Result<PlacedForm> GroupForm(const std::vector<PrinterSurface::Rectangle>& group,
                               double units_per_twip);
  // The groups' uses start again on a new page.
  void NewPage() { ++page_; }

  // The layer kept under `key`, or null.
  cairo_surface_t* Layer(std::string_view key) const;
  // Records a layer of the page's size and keeps it under `key`: `draw`
  // gets a context with the transformation of `page_cr` and the page's line
  // width. An error from `draw` leaves nothing kept.
  Result<cairo_surface_t*> RecordLayer(const std::string& key, cairo_t* page_cr,
                                       double units_per_twip,
                                       const std::function<Status(cairo_t* layer_cr)>& draw);

 private:
  // The forms of a group's shapes (the bits of their numbers, from the
  // group's corner): the n-th for its n-th use on a page.
  struct Group {
    std::vector<cairo_surface_t*> forms;
    int page = -1;  // the page of the uses counted
    int uses = 0;   // on that page
  };
  std::unordered_map<std::string, Group> groups_;
  std::string shapes_;  // the shapes looked up, kept for its buffer
  int page_ = 0;
  std::map<std::string, cairo_surface_t*, std::less<>> layers_;
};

}  // namespace boleto
