#include "print/cairo_page_surface.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "print/cairo_forms.h"
#include "print/cairo_paint.h"
#include "print/cairo_text.h"
#include "print/raster_page.h"
#include "print/utf8_text.h"

namespace boleto {

namespace {

// The bytes a stream is handed at a time: one write to a file for some
// thousand of cairo's pieces (a few bytes to a few hundred each), where
// each piece cost a write of its own.
constexpr size_t kStreamWriteBytes = 64 * 1024;

// A streamed PDF's way out: cairo's pieces gathered, then handed to the
// stream in large ones.
struct GatheredStream {
  std::unique_ptr<DocumentStream> stream;
  std::string pieces;

  void Flush() {
    if (pieces.empty()) return;
    stream->Write(pieces.data(), pieces.size());
    pieces.clear();
  }
};

}  // namespace

struct CairoPageSurface::State {
  PageFormat format = PageFormat::kPdf;
  PageSink sink;
  // Where a streamed PDF goes; released after the surface, which may still
  // write to it when it is destroyed unfinished.
  GatheredStream stream;
  PagePixels pixels;  // the PNG page's; declared first, released after the surface
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  TextPlacer text;
  TextBatch pending_text;
  PdfForms forms;
  // PDF bytes as cairo writes them (unless streamed); PNG bytes at completion.
  std::string document;
  bool page_done = false;
  bool page_blank = true;  // nothing drawn on the current page yet
  // The page drawn last ends when the next one gets its first drawing: a
  // new page that nothing is drawn on never reaches the document.
  bool page_ends = false;
  bool drawing_layer = false;  // drawing goes into a layer, not on the page
  // The lines drawn into a PDF layer since its last other drawing, all in
  // `lines_colour`: the context's path, stroked once.
  bool lines_pending = false;
  Rgb lines_colour = kBlack;
  double units_per_twip = 1;  // of the surface's device space
  bool keeps_layers = false;
  bool job_ended = false;

  double scale_left = 0;
  double current_x = 0;
  double current_y = 0;

  // The pictures painted on the page, one image surface for each painting
  // over the picture's own pixels, kept until the page is done: the PDF
  // reads them when the document is finished. A picture painted twice (the
  // bank logo on both parts) gets two surfaces: cairo names one surface's
  // image twice in the page's resources, a duplicated key that PDF checkers
  // and some printers report.
  std::vector<std::pair<Picture, cairo_surface_t*>> images;
  // The image surface of each picture's n-th painting on a page, by the
  // picture's handle and n: later pages paint the same surfaces, which the
  // PDF then holds once.
  std::map<std::pair<uintptr_t, int>, cairo_surface_t*> image_by_use;
  std::map<uintptr_t, int> uses_on_page;  // paintings of each picture so far
  Rgb text_colour = kBlack;

  ~State() {
    for (auto& image : images) cairo_surface_destroy(image.second);
    if (cr != nullptr) cairo_destroy(cr);
    if (surface != nullptr) cairo_surface_destroy(surface);
  }

  // Page position of a surface x (the scale origin moves the page's left edge).
  double PageX(double x) const { return x - scale_left; }

  // Hands the pending lines, then the pending texts, to cairo.
  void FlushText() {
    FlushLines();
    pending_text.Flush(cr);
  }

  // Strokes the lines pending as one path. Each stroke of a layer is
  // replayed into the PDF's analysis on every page that shows the layer,
  // and its cost is mostly per stroke, not per line.
  void FlushLines() {
    if (!lines_pending) return;
    SetSourceColour(cr, lines_colour);
    cairo_stroke(cr);
    lines_pending = false;
  }

  // Before a text is printed on the page: the page drawn last ends.
  void BeginText() {
    if (drawing_layer) return;
    if (page_ends) {
      cairo_show_page(cr);
      page_ends = false;
    }
    page_blank = false;
  }

  // Before anything else is drawn: the texts printed so far go first.
  void BeginDrawing() {
    FlushText();
    BeginText();
  }

  Status CheckDrawable() const {
    if (page_done) {
      return MakeError(error_number::kPrinterFailure,
                       "The page has already been handed to the printer");
    }
    return Status::Ok();
  }
};

namespace {

cairo_status_t AppendToDocument(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// A stream's failure waits for Finish: cairo goes on drawing.
cairo_status_t WriteToStream(void* closure, const unsigned char* data, unsigned int length) {
  GatheredStream& gathered = *static_cast<GatheredStream*>(closure);
  gathered.pieces.append(reinterpret_cast<const char*>(data), length);
  if (gathered.pieces.size() >= kStreamWriteBytes) gathered.Flush();
  return CAIRO_STATUS_SUCCESS;
}

// Whether every pixel of a picture has full alpha.
bool IsOpaque(const Picture::Pixels& pixels) {
  for (int y = 0; y < pixels.height; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(pixels.argb32.data() +
                                                            static_cast<size_t>(y) * pixels.stride);
    uint32_t alpha = 0xff000000;
    for (int x = 0; x < pixels.width; ++x) alpha &= row[x];
    if (alpha != 0xff000000) return false;
  }
  return true;
}

constexpr double kPointsPerTwip = 1.0 / kTwipsPerPoint;

}  // namespace

CairoPageSurface::CairoPageSurface(std::unique_ptr<State> state) : state_(std::move(state)) {}
CairoPageSurface::~CairoPageSurface() = default;

Result<std::unique_ptr<CairoPageSurface>> CairoPageSurface::Create(PageFormat format,
                                                                   PageSink sink) {
  auto state = std::make_unique<State>();
  state->format = format;
  state->sink = std::move(sink);
  return Start(std::move(state));
}

Result<std::unique_ptr<CairoPageSurface>> CairoPageSurface::CreateStreamed(
    std::unique_ptr<DocumentStream> stream) {
  auto state = std::make_unique<State>();
  state->stream.stream = std::move(stream);
  return Start(std::move(state));
}

Result<std::unique_ptr<CairoPageSurface>> CairoPageSurface::Start(std::unique_ptr<State> state) {
  const PageFormat format = state->format;
  double units_per_twip;
  if (format == PageFormat::kPdf) {
    units_per_twip = kPointsPerTwip;
    state->surface = state->stream.stream != nullptr
                         ? cairo_pdf_surface_create_for_stream(WriteToStream, &state->stream,
                                                               kA4WidthTwips * kPointsPerTwip,
                                                               kA4HeightTwips * kPointsPerTwip)
                         : cairo_pdf_surface_create_for_stream(AppendToDocument, &state->document,
                                                               kA4WidthTwips * kPointsPerTwip,
                                                               kA4HeightTwips * kPointsPerTwip);
    cairo_pdf_surface_set_metadata(state->surface, CAIRO_PDF_METADATA_TITLE, "Boleto");
    cairo_pdf_surface_set_metadata(state->surface, CAIRO_PDF_METADATA_CREATOR, kProgramName);
  } else {
    units_per_twip = kPngPixelsPerTwip;
    BOLETO_ASSIGN_OR_RETURN(state->surface, CreateRasterPage(state->pixels));
  }
  if (cairo_surface_status(state->surface) != CAIRO_STATUS_SUCCESS) {
    return MakeError(error_number::kPrinterFailure,
                     std::string("Cannot create the printer page: ") +
                         cairo_status_to_string(cairo_surface_status(state->surface)));
  }
  state->units_per_twip = units_per_twip;
  state->cr = cairo_create(state->surface);
  if (format == PageFormat::kPng) {
    cairo_set_source_rgb(state->cr, 1, 1, 1);  // paper
    cairo_paint(state->cr);
  }
  cairo_scale(state->cr, units_per_twip, units_per_twip);
  cairo_set_line_width(state->cr, kLineWidthTwips);
  BOLETO_RETURN_IF_ERROR(CairoStatus(state->cr));
  return std::unique_ptr<CairoPageSurface>(new CairoPageSurface(std::move(state)));
}

PageFormat CairoPageSurface::format() const { return state_->format; }

void CairoPageSurface::SetFontName(std::string_view name) { state_->text.SetFontName(name); }
void CairoPageSurface::SetFontSize(double points) { state_->text.SetFontSize(points); }
void CairoPageSurface::SetFontBold(bool bold) { state_->text.SetFontBold(bold); }
void CairoPageSurface::SetFontItalic(bool italic) { state_->text.SetFontItalic(italic); }
std::string CairoPageSurface::FontName() const { return state_->text.font_name(); }
double CairoPageSurface::FontSize() const { return state_->text.font_size(); }
bool CairoPageSurface::FontBold() const { return state_->text.font_bold(); }

double CairoPageSurface::TextWidth(std::string_view text) {
  double width = 0;
  for (const PlacedLine& line : state_->text.PlaceText(text, state_->cr)) {
    width = std::max(width, line.width);
  }
  return width;
}

double CairoPageSurface::TextHeight(std::string_view text) {
  double height = 0;
  for (const PlacedLine& line : state_->text.PlaceText(text, state_->cr)) {
    height += line.ascent + line.descent;
  }
  return height;
}

FontFace CairoPageSurface::PrintedFace(std::string_view text) {
  TextPlacer& placer = state_->text;
  const std::vector<std::string> lines = PrintedLines(text);
  size_t pos = 0;
  if (lines.front().empty()) return placer.Face().names();
  return placer.FaceFor(NextCharacter(lines.front(), pos)).names();
}

double CairoPageSurface::ScaleWidth() const { return kA4WidthTwips; }
double CairoPageSurface::ScaleLeft() const { return state_->scale_left; }
void CairoPageSurface::SetScaleLeft(double x) { state_->scale_left = x; }
double CairoPageSurface::CurrentX() const { return state_->current_x; }
double CairoPageSurface::CurrentY() const { return state_->current_y; }
void CairoPageSurface::SetCurrentX(double x) { state_->current_x = x; }
void CairoPageSurface::SetCurrentY(double y) { state_->current_y = y; }

Status CairoPageSurface::PrintText(std::string_view text) {
  State& s = *state_;
  BOLETO_RETURN_IF_ERROR(s.CheckDrawable());
  // Without any font file, cairo would print in its own stroke font and
  // drop every accented letter: a page with wrong texts is no boleto.
  if (s.text.Face().names().file.empty()) {
    return MakeError(error_number::kPrinterFailure,
                     "No font is installed to print " + s.text.font_name());
  }
  s.BeginText();
  // Each line's top at the current position, its baseline its ascent below.
  double top = s.current_y;
  for (const PlacedLine& line : s.text.PlaceText(text, s.cr)) {
    const double baseline = top + line.ascent;
    const double left = s.PageX(s.current_x);
    for (const PlacedLine::Run& run : line.runs) {
      // A text that became no glyphs (a font cairo cannot use) would be
      // missing from the page.
      if (run.glyphs.empty() && !run.text.empty()) {
        return MakeError(error_number::kPrinterFailure,
                         std::string("Printer page failure: cannot set \"") + run.text + "\" in " +
                             s.text.font_name() + ": " +
                             cairo_status_to_string(cairo_scaled_font_status(run.font)));
      }
      // Glyphs set right to left keep a call of their own.
      if (run.cluster_flags == cairo_text_cluster_flags_t{}) {
        s.pending_text.Add(run, left, baseline, s.text_colour, s.cr);
      } else {
        s.pending_text.ShowNow(run, left, baseline, s.text_colour, s.cr);
      }
    }
    top += line.ascent + line.descent;
  }
  s.current_y = top;
  s.current_x = s.scale_left;
  return CairoStatus(s.cr);
}

Status CairoPageSurface::DrawLine(double x1, double y1, double x2, double y2, Rgb colour) {
  State& s = *state_;
  BOLETO_RETURN_IF_ERROR(s.CheckDrawable());
  if (s.drawing_layer && s.format == PageFormat::kPdf) {
    // The layer's lines wait, in the order drawn, for the next other drawing.
    if (!(s.lines_colour == colour) || !s.pending_text.empty()) s.FlushText();
    s.lines_colour = colour;
    s.lines_pending = true;
    cairo_move_to(s.cr, s.PageX(x1), y1);
    cairo_line_to(s.cr, s.PageX(x2), y2);
    return CairoStatus(s.cr);
  }
  SetSourceColour(s.cr, colour);
  s.BeginDrawing();
  cairo_move_to(s.cr, s.PageX(x1), y1);
  cairo_line_to(s.cr, s.PageX(x2), y2);
  cairo_stroke(s.cr);
  return CairoStatus(s.cr);
}

Status CairoPageSurface::FillRectangle(double x1, double y1, double x2, double y2, Rgb colour) {
  State& s = *state_;
  BOLETO_RETURN_IF_ERROR(s.CheckDrawable());
  SetSourceColour(s.cr, colour);
  s.BeginDrawing();
  cairo_rectangle(s.cr, s.PageX(x1), y1, x2 - x1, y2 - y1);
  cairo_fill(s.cr);
  return CairoStatus(s.cr);
}

Status CairoPageSurface::FillRectangles(const std::vector<Rectangle>& rectangles) {
  State& s = *state_;
  BOLETO_RETURN_IF_ERROR(s.CheckDrawable());
  const std::vector<Rgb> colours = InkColours(rectangles);
  // Only ink reaches the page: white alone leaves it blank.
  if (!colours.empty()) s.BeginDrawing();
  FillByColour(s.cr, rectangles, colours, -s.scale_left, 0);
  return CairoStatus(s.cr);
}

Status CairoPageSurface::FillRectangleGroup(const std::vector<Rectangle>& group) {
  State& s = *state_;
  // A PNG page is pixels: nothing to keep.
  if (s.format != PageFormat::kPdf || group.empty()) return FillRectangles(group);
  BOLETO_RETURN_IF_ERROR(s.CheckDrawable());
  // In a PDF each distinct group is drawn once, as a form, and every page
  // names it where it recurs: a barcode is some 24 forms placed, where its
  // bars filled one by one cost more than all the rest of a page's drawing.
  BOLETO_ASSIGN_OR_RETURN(const PlacedForm placed, s.forms.GroupForm(group, s.units_per_twip));
  s.BeginDrawing();
  PaintKept(s.cr, placed.form, s.PageX(placed.left) * s.units_per_twip,
            placed.top * s.units_per_twip);
  return CairoStatus(s.cr);
}

Status CairoPageSurface::PaintPicture(const Picture& picture, double x, double y) {
  State& s = *state_;
  BOLETO_RETURN_IF_ERROR(s.CheckDrawable());
  if (picture.empty()) return Status::Ok();
  const Picture::Pixels& pixels = *picture.pixels();
  if (pixels.stride != cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, pixels.width)) {
    return MakeError(error_number::kInvalidPicture, "Picture rows are not laid out for painting");
  }
  // Cairo only reads the pixels; the picture kept in `images` keeps them.
  // In a PDF an opaque picture (a BMP logo) is handed over as RGB, the same
  // words with the alpha byte ignored: the PDF then writes it without first
  // dividing every pixel by its alpha and testing it for transparency. The
  // PNG page keeps ARGB, which pixman scales faster.
  const std::pair<uintptr_t, int> use{picture.handle(), s.uses_on_page[picture.handle()]++};
  cairo_surface_t*& image = s.image_by_use[use];
  if (image == nullptr) {
    const bool rgb = s.format == PageFormat::kPdf && IsOpaque(pixels);
    image = cairo_image_surface_create_for_data(const_cast<unsigned char*>(pixels.argb32.data()),
                                                rgb ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32,
                                                pixels.width, pixels.height, pixels.stride);
    s.images.emplace_back(picture, image);
  }
  s.BeginDrawing();
  cairo_save(s.cr);
  cairo_translate(s.cr, s.PageX(x), y);
  cairo_scale(s.cr, kTwipsPerInch / pixels.dpi_x, kTwipsPerInch / pixels.dpi_y);
  cairo_set_source_surface(s.cr, image, 0, 0);
  cairo_paint(s.cr);
  cairo_restore(s.cr);
  return CairoStatus(s.cr);
}

void CairoPageSurface::SetTextColour(Rgb colour) { state_->text_colour = colour; }

bool CairoPageSurface::PageBlank() const { return state_->page_blank; }

Status CairoPageSurface::ClearPage() {
  State& s = *state_;
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  // A blank page may still have the page before it waiting to end: nothing
  // is painted then, or that page would be cleared.
  if (s.page_blank) return Status::Ok();
  s.pending_text.Clear();
  cairo_save(s.cr);
  if (s.format == PageFormat::kPdf) {
    // The whole page cleared: cairo starts the page it records anew.
    cairo_set_operator(s.cr, CAIRO_OPERATOR_CLEAR);
  } else {
    cairo_set_operator(s.cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgb(s.cr, 1, 1, 1);  // paper
  }
  cairo_reset_clip(s.cr);
  cairo_paint(s.cr);
  cairo_restore(s.cr);
  s.uses_on_page.clear();
  s.forms.NewPage();
  s.page_blank = true;
  return CairoStatus(s.cr);
}

void CairoPageSurface::KeepLayers() { state_->keeps_layers = true; }
bool CairoPageSurface::KeepsLayers() const { return state_->keeps_layers; }

Status CairoPageSurface::PaintLayer(const std::string& key,
                                    const std::function<Status(PrinterSurface&)>& draw) {
  State& s = *state_;
  if (!s.keeps_layers) return draw(*this);
  BOLETO_RETURN_IF_ERROR(s.CheckDrawable());
  cairo_surface_t* layer = s.forms.Layer(key);
  if (layer == nullptr) {
    // The layer is drawn through this surface, whose drawing goes to the
    // layer's context meanwhile; the texts of each go where they were printed.
    auto draw_into = [&](cairo_t* layer_cr) {
      s.FlushText();
      std::swap(s.cr, layer_cr);
      s.drawing_layer = true;
      Status drawn = draw(*this);
      s.FlushText();
      if (drawn.ok()) drawn = CairoStatus(s.cr);
      s.drawing_layer = false;
      std::swap(s.cr, layer_cr);
      return drawn;
    };
    BOLETO_ASSIGN_OR_RETURN(layer, s.forms.RecordLayer(key, s.cr, s.units_per_twip, draw_into));
  }
  s.BeginDrawing();
  PaintKept(s.cr, layer, 0, 0);
  return CairoStatus(s.cr);
}

Status CairoPageSurface::NewPage() {
  State& s = *state_;
  BOLETO_RETURN_IF_ERROR(s.CheckDrawable());
  if (s.format != PageFormat::kPdf) {
    return MakeError(error_number::kPrinterFailure, "A PNG picture holds one page only");
  }
  s.FlushText();
  // The page ends when the next drawing comes; a blank page stays the one.
  if (!s.page_blank) s.page_ends = true;
  s.uses_on_page.clear();
  s.forms.NewPage();
  s.page_blank = true;
  return CairoStatus(s.cr);
}

Status CairoPageSurface::CompletePage() {
  State& s = *state_;
  BOLETO_RETURN_IF_ERROR(s.CheckDrawable());
  s.FlushText();
  BOLETO_RETURN_IF_ERROR(CairoStatus(s.cr));
  if (s.format == PageFormat::kPdf) {
    // A cleared page after others is no page of the document (cairo writes
    // a cleared page only where it is the first).
    if (!s.page_blank || s.page_ends) cairo_show_page(s.cr);
    cairo_surface_finish(s.surface);
  } else {
    cairo_surface_flush(s.surface);
    s.document.clear();
    if (Status written = WritePng(s.surface, &s.document); !written.ok()) {
      s.page_done = true;
      return written;
    }
  }
  s.page_done = true;
  if (cairo_surface_status(s.surface) != CAIRO_STATUS_SUCCESS) {
    return MakeError(error_number::kPrinterFailure,
                     std::string("Cannot complete the printer page: ") +
                         cairo_status_to_string(cairo_surface_status(s.surface)));
  }
  if (s.stream.stream != nullptr) {
    s.stream.Flush();
    return s.stream.stream->Finish();
  }
  if (!s.sink) return Status::Ok();
  return s.sink(s.document);
}

Status CairoPageSurface::EndJob() {
  state_->job_ended = true;
  return Status::Ok();
}

}  // namespace boleto
