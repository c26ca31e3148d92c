#include "print/cairo_page_surface.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <png.h>
#include <sys/mman.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "print/font_config.h"
#include "print/utf8_text.h"

namespace boleto {

namespace {

// The PNG page's pixels, some 35 MB of them, painted white at once: mapped
// on 2 MiB pages where the system offers them, a few dozen faults instead of
// some 8,500 for 4 KiB pages.
class PagePixels {
 public:
  PagePixels() = default;
  PagePixels(const PagePixels&) = delete;
  PagePixels& operator=(const PagePixels&) = delete;
  ~PagePixels() {
    if (mapping_ != MAP_FAILED) munmap(mapping_, mapping_size_);
  }

  // Zeroed memory for `size` bytes; false where none can be had.
  bool Allocate(size_t size) {
    constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
    mapping_size_ = size + kLargePage;  // room to start on a large-page boundary
    mapping_ =
        mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED) return false;
    const uintptr_t start =
        (reinterpret_cast<uintptr_t>(mapping_) + kLargePage - 1) & ~(kLargePage - 1);
    data_ = reinterpret_cast<unsigned char*>(start);
    // Advice only: without large pages the page works the same, slower.
    madvise(data_, size, MADV_HUGEPAGE);
    return true;
  }
  unsigned char* data() const { return data_; }

 private:
  void* mapping_ = MAP_FAILED;
  size_t mapping_size_ = 0;
  unsigned char* data_ = nullptr;
};

// A line of text placed for the page: runs of characters, each in one face
// (the font's own, or the fallback face for characters it lacks), with
// their glyphs side by side from the line's start on its baseline. Glyphs
// advance by their own widths, without kerning, as the printer driver set
// text.
struct PlacedLine {
  struct Run {
    cairo_scaled_font_t* font;  // the page's, not owned
    std::string text;
    std::vector<cairo_glyph_t> glyphs;
    std::vector<cairo_text_cluster_t> clusters;
    cairo_text_cluster_flags_t cluster_flags;
  };
  std::vector<Run> runs;
  double width = 0;
  double ascent = 0;  // of the highest face of the line
  double descent = 0;
};

// Whether a character prints in whatever face its neighbours print in.
bool IsBlank(char32_t c) { return c == 0x20 || c == 0xA0; }

}  // namespace

struct CairoPageSurface::State {
  PageFormat format = PageFormat::kPdf;
  PageSink sink;
  PagePixels pixels;  // the PNG page's; declared first, released after the surface
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  cairo_font_options_t* font_options = nullptr;
  // The page's scaled fonts by face and size in twips.
  std::map<std::pair<cairo_font_face_t*, double>, cairo_scaled_font_t*> scaled_fonts;
  const PrintFace* face = nullptr;  // of the current font
  std::string document;             // PDF bytes as cairo writes them; PNG bytes at completion
  bool page_done = false;
  bool page_blank = true;  // nothing drawn on the current page yet
  // The page drawn last ends when the next one gets its first drawing: a
  // new page that nothing is drawn on never reaches the document.
  bool page_ends = false;
  bool drawing_layer = false;  // drawing goes into a layer, not on the page
  double units_per_twip = 1;   // of the surface's device space
  bool keeps_layers = false;
  // The layers drawn so far, by key: recording surfaces in device units.
  std::map<std::string, cairo_surface_t*, std::less<>> layers;
  // The rectangle groups drawn so far, by their shapes and the number of
  // the group's use on a page: recording surfaces in device units, from the
  // group's top left corner. A group drawn twice on a page is two surfaces,
  // as a picture is.
  std::map<std::pair<std::string, int>, cairo_surface_t*> groups;
  std::map<std::string, int> group_uses_on_page;
  bool job_ended = false;

  std::string font_name = "MS Sans Serif";
  double font_size = 8.25;
  bool font_bold = false;
  bool font_italic = false;
  bool font_dirty = true;

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

  // Texts printed but not yet handed to cairo: one run of glyphs for each
  // scaled font, all in one colour. Cairo's cost of a text is mostly its own
  // per call (extents, clipping, analysis of the page, PDF text operators),
  // so the texts of a page go to it a font at a time, when something else
  // is drawn or the page ends. Texts of one colour do not hide one another,
  // so the order among them does not show; anything else keeps its order.
  struct PendingRun {
    cairo_scaled_font_t* font;
    std::string text;
    std::vector<cairo_glyph_t> glyphs;
    std::vector<cairo_text_cluster_t> clusters;
  };
  std::vector<PendingRun> pending_text;
  Rgb pending_colour = kBlack;

  ~State() {
    for (auto& image : images) cairo_surface_destroy(image.second);
    for (auto& layer : layers) cairo_surface_destroy(layer.second);
    for (auto& group : groups) cairo_surface_destroy(group.second);
    for (auto& scaled : scaled_fonts) cairo_scaled_font_destroy(scaled.second);
    if (font_options != nullptr) cairo_font_options_destroy(font_options);
    if (cr != nullptr) cairo_destroy(cr);
    if (surface != nullptr) cairo_surface_destroy(surface);
  }

  // Page position of a surface x (the scale origin moves the page's left edge).
  double PageX(double x) const { return x - scale_left; }

  // Brings the face in line with the current font.
  void ApplyFont() {
    if (!font_dirty) return;
    face = &MatchPrintFace(font_name, font_bold, font_italic);
    font_dirty = false;
  }

  // The face a character prints in: the font's own where it has the
  // character, else the fallback face where that has it, else the font's
  // own (which prints its missing-glyph box).
  const PrintFace& FaceFor(char32_t c) const {
    if (face->HasCharacter(c)) return *face;
    const PrintFace& fallback = FallbackPrintFace(font_bold, font_italic);
    return fallback.HasCharacter(c) ? fallback : *face;
  }

  // A face at the current size, for the page's transformation.
  cairo_scaled_font_t* ScaledFont(const PrintFace& print_face) {
    const double twips = font_size * kTwipsPerPoint;
    cairo_scaled_font_t*& scaled = scaled_fonts[{print_face.cairo_face(), twips}];
    if (scaled == nullptr) {
      cairo_matrix_t page;
      cairo_get_matrix(cr, &page);
      scaled = print_face.CreateScaledFont(twips, page, font_options);
    }
    return scaled;
  }

  // Places one printed line (well-formed UTF-8 without line breaks).
  PlacedLine Place(const std::string& line) {
    ApplyFont();
    PlacedLine placed;
    const PrintFace* run_face = nullptr;
    std::string run_text;
    auto flush = [&] {
      if (run_text.empty()) return;
      PlacedLine::Run run{ScaledFont(*run_face), std::move(run_text), {}, {}, {}};
      run_text.clear();
      cairo_glyph_t* glyphs = nullptr;
      int glyph_count = 0;
      cairo_text_cluster_t* clusters = nullptr;
      int cluster_count = 0;
      if (cairo_scaled_font_text_to_glyphs(run.font, placed.width, 0, run.text.data(),
                                           static_cast<int>(run.text.size()), &glyphs, &glyph_count,
                                           &clusters, &cluster_count,
                                           &run.cluster_flags) == CAIRO_STATUS_SUCCESS &&
          glyph_count > 0) {
        run.glyphs.assign(glyphs, glyphs + glyph_count);
        run.clusters.assign(clusters, clusters + cluster_count);
        cairo_text_extents_t last;
        cairo_scaled_font_glyph_extents(run.font, &run.glyphs.back(), 1, &last);
        placed.width = run.glyphs.back().x + last.x_advance;
      }
      cairo_glyph_free(glyphs);
      cairo_text_cluster_free(clusters);
      cairo_font_extents_t extents;
      cairo_scaled_font_extents(run.font, &extents);
      placed.ascent = std::max(placed.ascent, extents.ascent);
      placed.descent = std::max(placed.descent, extents.descent);
      placed.runs.push_back(std::move(run));
    };
    for (size_t pos = 0; pos < line.size();) {
      const size_t start = pos;
      const char32_t c = NextCharacter(line, pos);
      const PrintFace* char_face = IsBlank(c) && run_face != nullptr ? run_face : &FaceFor(c);
      if (char_face != run_face) {
        flush();
        run_face = char_face;
      }
      run_text.append(line, start, pos - start);
    }
    flush();
    if (placed.runs.empty()) {
      // An empty line is as high as the font's own face and has no width.
      cairo_font_extents_t extents;
      cairo_scaled_font_extents(ScaledFont(*face), &extents);
      placed.ascent = extents.ascent;
      placed.descent = extents.descent;
    }
    return placed;
  }

  // The text last placed, in its font: a value is measured to fit its label
  // and then printed, and is placed once for both.
  struct LastPlaced {
    std::string text;
    const PrintFace* face = nullptr;
    double size = 0;
    bool bold = false;
    bool italic = false;
    std::vector<PlacedLine> lines;
  } last_placed;

  // The lines of a text as placed for printing.
  std::vector<PlacedLine> PlaceText(std::string_view text) {
    ApplyFont();
    LastPlaced& last = last_placed;
    if (last.face == face && last.size == font_size && last.bold == font_bold &&
        last.italic == font_italic && last.text == text) {
      return last.lines;
    }
    std::vector<PlacedLine> lines;
    for (const std::string& line : PrintedLines(text)) lines.push_back(Place(line));
    last = LastPlaced{std::string(text), face, font_size, font_bold, font_italic, lines};
    return lines;
  }

  // Hands the pending texts to cairo.
  void FlushText() {
    if (pending_text.empty()) return;
    cairo_save(cr);  // the colour and font of what is drawn next stay
    SetColour(pending_colour);
    for (const PendingRun& run : pending_text) {
      cairo_set_scaled_font(cr, run.font);
      cairo_show_text_glyphs(cr, run.text.data(), static_cast<int>(run.text.size()),
                             run.glyphs.data(), static_cast<int>(run.glyphs.size()),
                             run.clusters.data(), static_cast<int>(run.clusters.size()),
                             cairo_text_cluster_flags_t{});
    }
    cairo_restore(cr);
    pending_text.clear();
  }

  // A run of glyphs placed on the page, in `colour`, kept to be handed to
  // cairo with the others of its font.
  void AddText(const PlacedLine::Run& run, Rgb colour) {
    if (run.glyphs.empty()) return;
    if (!pending_text.empty() && !(colour == pending_colour)) FlushText();
    pending_colour = colour;
    auto same_font = std::find_if(pending_text.begin(), pending_text.end(),
                                  [&](const PendingRun& p) { return p.font == run.font; });
    if (same_font == pending_text.end()) {
      pending_text.push_back(PendingRun{run.font, {}, {}, {}});
      same_font = pending_text.end() - 1;
    }
    same_font->text += run.text;
    same_font->glyphs.insert(same_font->glyphs.end(), run.glyphs.begin(), run.glyphs.end());
    same_font->clusters.insert(same_font->clusters.end(), run.clusters.begin(), run.clusters.end());
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

  Status CairoStatus() const {
    cairo_status_t status = cairo_status(cr);
    if (status != CAIRO_STATUS_SUCCESS) {
      return MakeError(error_number::kPrinterFailure,
                       std::string("Printer page failure: ") + cairo_status_to_string(status));
    }
    return Status::Ok();
  }

  void SetColour(Rgb colour) {
    cairo_set_source_rgb(cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0);
  }
};

namespace {

cairo_status_t AppendToDocument(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
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
constexpr double kPngPixelsPerTwip = kPngDpi / kTwipsPerInch;

}  // namespace

namespace {

// The finished page as an 8-bit RGB PNG with its resolution. The page is
// mostly white paper: rows go unfiltered through deflate's fastest level,
// which keeps the file small (some 600 KB) at a quarter of the cost of the
// default filter search and compression.
Status WritePng(cairo_surface_t* page, std::string* out) {
  const int width = cairo_image_surface_get_width(page);
  const int height = cairo_image_surface_get_height(page);
  const int stride = cairo_image_surface_get_stride(page);
  const unsigned char* data = cairo_image_surface_get_data(page);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr || data == nullptr) {
    png_destroy_write_struct(&png, &info);
    return MakeError(error_number::kPrinterFailure, "Cannot write the page as PNG");
  }
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return MakeError(error_number::kPrinterFailure, "Cannot write the page as PNG");
  }
  png_set_write_fn(
      png, out,
      [](png_structp p, png_bytep bytes, png_size_t length) {
        static_cast<std::string*>(png_get_io_ptr(p))
            ->append(reinterpret_cast<char*>(bytes), length);
      },
      nullptr);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const png_uint_32 dots_per_metre = static_cast<png_uint_32>(std::lround(kPngDpi / 0.0254));
  png_set_pHYs(png, info, dots_per_metre, dots_per_metre, PNG_RESOLUTION_METER);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, Z_BEST_SPEED);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    // Cairo's RGB24 pixels are native-endian 32-bit words 0x00RRGGBB.
    const uint32_t* in = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    png_byte* o = row.data();
    for (int x = 0; x < width; ++x, o += 3) {
      o[0] = static_cast<png_byte>(in[x] >> 16);
      o[1] = static_cast<png_byte>(in[x] >> 8);
      o[2] = static_cast<png_byte>(in[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return Status::Ok();
}

}  // namespace

CairoPageSurface::CairoPageSurface(std::unique_ptr<State> state) : state_(std::move(state)) {}
CairoPageSurface::~CairoPageSurface() = default;

Result<std::unique_ptr<CairoPageSurface>> CairoPageSurface::Create(PageFormat format,
                                                                   PageSink sink) {
  auto state = std::make_unique<State>();
  state->format = format;
  state->sink = std::move(sink);
  double units_per_twip;
  if (format == PageFormat::kPdf) {
    units_per_twip = kPointsPerTwip;
    state->surface = cairo_pdf_surface_create_for_stream(AppendToDocument, &state->document,
                                                         kA4WidthTwips * kPointsPerTwip,
                                                         kA4HeightTwips * kPointsPerTwip);
    cairo_pdf_surface_set_metadata(state->surface, CAIRO_PDF_METADATA_TITLE, "Boleto");
    cairo_pdf_surface_set_metadata(state->surface, CAIRO_PDF_METADATA_CREATOR, kProgramName);
  } else {
    units_per_twip = kPngPixelsPerTwip;
    const int width = static_cast<int>(std::lround(kA4WidthTwips * kPngPixelsPerTwip));
    const int height = static_cast<int>(std::lround(kA4HeightTwips * kPngPixelsPerTwip));
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width);
    if (!state->pixels.Allocate(static_cast<size_t>(stride) * height)) {
      return MakeError(error_number::kPrinterFailure,
                       "Cannot create the printer page: out of memory");
    }
    state->surface = cairo_image_surface_create_for_data(state->pixels.data(), CAIRO_FORMAT_RGB24,
                                                         width, height, stride);
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

  // Unhinted metrics: a text measures the same in twips at any resolution.
  state->font_options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(state->font_options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(state->font_options, CAIRO_HINT_STYLE_NONE);

  Status status = state->CairoStatus();
  if (!status.ok()) return status.error();
  return std::unique_ptr<CairoPageSurface>(new CairoPageSurface(std::move(state)));
}

PageFormat CairoPageSurface::format() const { return state_->format; }

void CairoPageSurface::SetFontName(std::string_view name) {
  state_->font_name = std::string(name);
  state_->font_dirty = true;
}
void CairoPageSurface::SetFontSize(double points) {
  state_->font_size = points;
  state_->font_dirty = true;
}
void CairoPageSurface::SetFontBold(bool bold) {
  state_->font_bold = bold;
  state_->font_dirty = true;
}
void CairoPageSurface::SetFontItalic(bool italic) {
  state_->font_italic = italic;
  state_->font_dirty = true;
}
std::string CairoPageSurface::FontName() const { return state_->font_name; }
double CairoPageSurface::FontSize() const { return state_->font_size; }
bool CairoPageSurface::FontBold() const { return state_->font_bold; }

double CairoPageSurface::TextWidth(std::string_view text) {
  double width = 0;
  for (const PlacedLine& line : state_->PlaceText(text)) width = std::max(width, line.width);
  return width;
}

double CairoPageSurface::TextHeight(std::string_view text) {
  double height = 0;
  for (const PlacedLine& line : state_->PlaceText(text)) height += line.ascent + line.descent;
  return height;
}

FontFace CairoPageSurface::PrintedFace(std::string_view text) {
  state_->ApplyFont();
  const std::vector<std::string> lines = PrintedLines(text);
  size_t pos = 0;
  if (lines.front().empty()) return state_->face->names();
  return state_->FaceFor(NextCharacter(lines.front(), pos)).names();
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
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  // Without any font file, cairo would print in its own stroke font and
  // drop every accented letter: a page with wrong texts is no boleto.
  s.ApplyFont();
  if (s.face->names().file.empty()) {
    return MakeError(error_number::kPrinterFailure, "No font is installed to print " + s.font_name);
  }
  s.BeginText();
  // Each line's top at the current position, its baseline its ascent below.
  double top = s.current_y;
  for (PlacedLine& line : s.PlaceText(text)) {
    const double baseline = top + line.ascent;
    const double left = s.PageX(s.current_x);
    for (PlacedLine::Run& run : line.runs) {
      for (cairo_glyph_t& glyph : run.glyphs) {
        glyph.x += left;
        glyph.y += baseline;
      }
      // A text that became no glyphs (a font cairo cannot use) would be
      // missing from the page.
      if (run.glyphs.empty() && !run.text.empty()) {
        return MakeError(error_number::kPrinterFailure,
                         std::string("Printer page failure: cannot set \"") + run.text + "\" in " +
                             s.font_name + ": " +
                             cairo_status_to_string(cairo_scaled_font_status(run.font)));
      }
      if (run.cluster_flags == cairo_text_cluster_flags_t{}) {
        s.AddText(run, s.text_colour);
        continue;
      }
      // Glyphs set right to left keep a call of their own.
      s.FlushText();
      s.SetColour(s.text_colour);
      cairo_set_scaled_font(s.cr, run.font);
      cairo_show_text_glyphs(s.cr, run.text.data(), static_cast<int>(run.text.size()),
                             run.glyphs.data(), static_cast<int>(run.glyphs.size()),
                             run.clusters.data(), static_cast<int>(run.clusters.size()),
                             run.cluster_flags);
    }
    top += line.ascent + line.descent;
  }
  s.current_y = top;
  s.current_x = s.scale_left;
  return s.CairoStatus();
}

Status CairoPageSurface::DrawLine(double x1, double y1, double x2, double y2, Rgb colour) {
  State& s = *state_;
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  s.SetColour(colour);
  s.BeginDrawing();
  cairo_move_to(s.cr, s.PageX(x1), y1);
  cairo_line_to(s.cr, s.PageX(x2), y2);
  cairo_stroke(s.cr);
  return s.CairoStatus();
}

Status CairoPageSurface::FillRectangle(double x1, double y1, double x2, double y2, Rgb colour) {
  State& s = *state_;
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  s.SetColour(colour);
  s.BeginDrawing();
  cairo_rectangle(s.cr, s.PageX(x1), y1, x2 - x1, y2 - y1);
  cairo_fill(s.cr);
  return s.CairoStatus();
}

namespace {

// The colours of `rectangles` in their first order, without white: white on
// the page's white paper changes nothing.
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

}  // namespace

Status CairoPageSurface::FillRectangles(const std::vector<Rectangle>& rectangles) {
  State& s = *state_;
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  for (const Rgb colour : InkColours(rectangles)) {
    s.SetColour(colour);
    s.BeginDrawing();
    for (const Rectangle& r : rectangles) {
      if (r.colour == colour) cairo_rectangle(s.cr, s.PageX(r.x1), r.y1, r.x2 - r.x1, r.y2 - r.y1);
    }
    cairo_fill(s.cr);
  }
  return s.CairoStatus();
}

Status CairoPageSurface::FillRectangleGroup(const std::vector<Rectangle>& group) {
  State& s = *state_;
  // A PNG page is pixels: nothing to keep.
  if (s.format != PageFormat::kPdf || group.empty()) return FillRectangles(group);
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  // In a PDF each distinct group is drawn once, as a form, and every page
  // names it where it recurs: a barcode is some 24 forms placed, where its
  // bars filled one by one cost more than all the rest of a page's drawing.
  double left = group.front().x1, top = group.front().y1, right = left, bottom = top;
  for (const Rectangle& r : group) {
    left = std::min(left, r.x1);
    top = std::min(top, r.y1);
    right = std::max(right, r.x2);
    bottom = std::max(bottom, r.y2);
  }
  // The group's shapes from its corner, as the bits of their numbers.
  std::string shapes;
  for (const Rectangle& r : group) {
    // White on the page's white paper changes nothing.
    if (r.colour == kWhite) continue;
    const double corners[] = {r.x1 - left, r.y1 - top, r.x2 - left, r.y2 - top};
    shapes.append(reinterpret_cast<const char*>(corners), sizeof corners);
    shapes.append({static_cast<char>(r.colour.red), static_cast<char>(r.colour.green),
                   static_cast<char>(r.colour.blue)});
  }
  cairo_surface_t*& form = s.groups[{shapes, s.group_uses_on_page[shapes]++}];
  if (form == nullptr) {
    const cairo_rectangle_t extents{0, 0, (right - left) * s.units_per_twip,
                                    (bottom - top) * s.units_per_twip};
    form = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
    cairo_t* form_cr = cairo_create(form);
    cairo_scale(form_cr, s.units_per_twip, s.units_per_twip);
    // One fill per colour: each time the page names the form, the PDF's
    // analysis replays what the form holds.
    for (const Rgb colour : InkColours(group)) {
      cairo_set_source_rgb(form_cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0);
      for (const Rectangle& r : group) {
        if (r.colour == colour)
          cairo_rectangle(form_cr, r.x1 - left, r.y1 - top, r.x2 - r.x1, r.y2 - r.y1);
      }
      cairo_fill(form_cr);
    }
    const cairo_status_t drawn = cairo_status(form_cr);
    cairo_destroy(form_cr);
    if (drawn != CAIRO_STATUS_SUCCESS) {
      return MakeError(error_number::kPrinterFailure,
                       std::string("Printer page failure: ") + cairo_status_to_string(drawn));
    }
  }
  s.BeginDrawing();
  cairo_save(s.cr);
  cairo_identity_matrix(s.cr);
  cairo_set_source_surface(s.cr, form, s.PageX(left) * s.units_per_twip, top * s.units_per_twip);
  cairo_paint(s.cr);
  cairo_restore(s.cr);
  return s.CairoStatus();
}

Status CairoPageSurface::PaintPicture(const Picture& picture, double x, double y) {
  State& s = *state_;
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
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
  return s.CairoStatus();
}

void CairoPageSurface::SetTextColour(Rgb colour) { state_->text_colour = colour; }

bool CairoPageSurface::PageBlank() const { return state_->page_blank; }

Status CairoPageSurface::ClearPage() {
  State& s = *state_;
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  // A blank page may still have the page before it waiting to end: nothing
  // is painted then, or that page would be cleared.
  if (s.page_blank) return Status::Ok();
  s.pending_text.clear();
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
  s.group_uses_on_page.clear();
  s.page_blank = true;
  return s.CairoStatus();
}

void CairoPageSurface::KeepLayers() { state_->keeps_layers = true; }
bool CairoPageSurface::KeepsLayers() const { return state_->keeps_layers; }

Status CairoPageSurface::PaintLayer(const std::string& key,
                                    const std::function<Status(PrinterSurface&)>& draw) {
  State& s = *state_;
  if (!s.keeps_layers) return draw(*this);
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  auto layer = s.layers.find(key);
  if (layer == s.layers.end()) {
    // Drawn as on the page, in twips, into a recording of the page's size.
    const cairo_rectangle_t page{0, 0, kA4WidthTwips * s.units_per_twip,
                                 kA4HeightTwips * s.units_per_twip};
    cairo_surface_t* recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &page);
    cairo_t* layer_cr = cairo_create(recording);
    cairo_matrix_t twips;
    cairo_get_matrix(s.cr, &twips);
    cairo_set_matrix(layer_cr, &twips);
    cairo_set_line_width(layer_cr, kLineWidthTwips);
    s.FlushText();
    std::swap(s.cr, layer_cr);
    s.drawing_layer = true;
    Status drawn = draw(*this);
    s.FlushText();
    if (drawn.ok()) drawn = s.CairoStatus();
    s.drawing_layer = false;
    std::swap(s.cr, layer_cr);
    cairo_destroy(layer_cr);
    if (!drawn.ok()) {
      cairo_surface_destroy(recording);
      return drawn;
    }
    layer = s.layers.emplace(key, recording).first;
  }
  s.BeginDrawing();
  cairo_save(s.cr);
  cairo_identity_matrix(s.cr);
  cairo_set_source_surface(s.cr, layer->second, 0, 0);
  cairo_paint(s.cr);
  cairo_restore(s.cr);
  return s.CairoStatus();
}

Status CairoPageSurface::NewPage() {
  State& s = *state_;
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  if (s.format != PageFormat::kPdf) {
    return MakeError(error_number::kPrinterFailure, "A PNG picture holds one page only");
  }
  s.FlushText();
  // The page ends when the next drawing comes; a blank page stays the one.
  if (!s.page_blank) s.page_ends = true;
  s.uses_on_page.clear();
  s.group_uses_on_page.clear();
  s.page_blank = true;
  return s.CairoStatus();
}

Status CairoPageSurface::CompletePage() {
  State& s = *state_;
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  s.FlushText();
  if (Status drawn = s.CairoStatus(); !drawn.ok()) return drawn;
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
  if (!s.sink) return Status::Ok();
  return s.sink(s.document);
}

Status CairoPageSurface::EndJob() {
  state_->job_ended = true;
  return Status::Ok();
}

}  // namespace boleto

// Cairo compresses every page's content stream at zlib's default level,
// which took a sixth of a batch's drawing time; the fastest level takes
// half of that for slightly larger streams. Cairo is the only
// caller of deflateInit_ linked in (libpng calls deflateInit2_), and the
// link wraps it here (see src/print/CMakeLists.txt).
#ifdef BOLETO_WRAP_DEFLATE
extern "C" int __real_deflateInit_(z_streamp stream, int level, const char* version, int size);
extern "C" int __wrap_deflateInit_(z_streamp stream, int /*level*/, const char* version, int size) {
  return __real_deflateInit_(stream, Z_BEST_SPEED, version, size);
}
#endif  // BOLETO_WRAP_DEFLATE
