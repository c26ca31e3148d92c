#include "print/cairo_page_surface.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>
#include <png.h>
#include <sys/mman.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "print/font_config.h"

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

// A text that pango lays out as one run: one item of one font, left to
// right, with its glyphs. Shaped straight from the items, as the layout
// would shape them, without the layout's line breaking and the font metrics
// it computes for line spacing (a layout of a sample text per font).
class SingleRun {
 public:
  SingleRun() = default;
  SingleRun(const SingleRun&) = delete;
  SingleRun& operator=(const SingleRun&) = delete;
  ~SingleRun() {
    if (glyphs_ != nullptr) pango_glyph_string_free(glyphs_);
    g_list_free_full(items_, reinterpret_cast<GDestroyNotify>(pango_item_free));
  }

  // Shapes `text` (not empty) in `font` with `context`'s settings; false
  // where the layout would make more than one run of it or break it: tabs,
  // line and paragraph separators and other control characters, a
  // right-to-left text, or characters that fall back to another font.
  bool Shape(PangoContext* context, const PangoFontDescription* font, std::string_view text) {
    if (!PlainText(text)) return false;
    const int length = static_cast<int>(text.size());
    // The paragraph direction as the layout finds it, with the function the
    // layout itself still calls (deprecated for applications only).
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    PangoDirection direction = pango_find_base_dir(text.data(), length);
    G_GNUC_END_IGNORE_DEPRECATIONS
    if (direction == PANGO_DIRECTION_NEUTRAL) direction = pango_context_get_base_dir(context);
    if (direction != PANGO_DIRECTION_LTR && direction != PANGO_DIRECTION_WEAK_LTR) return false;
    // The layout's font is an attribute over the whole text.
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert_before(attributes, pango_attr_font_desc_new(font));
    items_ = pango_itemize_with_base_dir(context, direction, text.data(), 0, length, attributes,
                                         nullptr);
    pango_attr_list_unref(attributes);
    if (items_ == nullptr || items_->next != nullptr) return false;
    PangoItem* item = static_cast<PangoItem*>(items_->data);
    if (item->analysis.level % 2 != 0 || item->analysis.font == nullptr) return false;
    glyphs_ = pango_glyph_string_new();
    pango_shape_item(item, text.data(), length, nullptr, glyphs_, PANGO_SHAPE_NONE);
    // The line's logical extents: the run's, joined to the empty rectangle
    // the layout starts each line from.
    PangoRectangle run;
    pango_glyph_string_extents(glyphs_, item->analysis.font, nullptr, &run);
    const int x = std::min(0, run.x);
    const int y = std::min(0, run.y);
    logical_ = {x, y, std::max(0, run.x + run.width) - x, std::max(0, run.y + run.height) - y};
    return true;
  }

  // Extents in the layout's terms: y is the top's distance above the baseline.
  const PangoRectangle& logical() const { return logical_; }

  // Draws the run as pango_cairo_show_layout draws the layout's first line
  // from the current point: on the baseline, the logical ascent below it.
  void Show(cairo_t* cr, std::string_view text) {
    const int baseline = -logical_.y;
    for (int i = 0; i < glyphs_->num_glyphs; ++i) glyphs_->glyphs[i].geometry.y_offset += baseline;
    PangoGlyphItem run{};
    run.item = static_cast<PangoItem*>(items_->data);
    run.glyphs = glyphs_;
    pango_cairo_show_glyph_item(cr, text.data(), &run);
  }

 private:
  // Well-formed UTF-8 of printable characters only, none of which separates
  // lines or needs the layout's tab stops (the layout replaces malformed
  // bytes before it itemizes).
  static bool PlainText(std::string_view text) {
    if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return false;
    for (size_t i = 0; i < text.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (c < 0x20 || c == 0x7f) return false;
      // U+0080-U+009F (C2 80-9F) and U+2028/U+2029 (E2 80 A8/A9).
      if (c == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xa0) {
        return false;
      }
      if (c == 0xe2 && text.substr(i, 3) == "\xe2\x80\xa8") return false;
      if (c == 0xe2 && text.substr(i, 3) == "\xe2\x80\xa9") return false;
    }
    return true;
  }

  GList* items_ = nullptr;
  PangoGlyphString* glyphs_ = nullptr;
  PangoRectangle logical_{};
};

}  // namespace

struct CairoPageSurface::State {
  PageFormat format = PageFormat::kPdf;
  PageSink sink;
  PagePixels pixels;  // the PNG page's; declared first, released after the surface
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  PangoLayout* layout = nullptr;
  PangoFontDescription* font = nullptr;
  std::string document;  // PDF bytes as cairo writes them; PNG bytes at completion
  bool page_done = false;
  bool job_ended = false;

  std::string font_name = "MS Sans Serif";
  double font_size = 8.25;
  bool font_bold = false;
  bool font_italic = false;
  bool font_dirty = true;

  double scale_left = 0;
  double current_x = 0;
  double current_y = 0;

  // The pictures painted on the page, each over its own pixels, kept until
  // the page is done: the PDF reads them when the document is finished, and
  // a picture painted twice (the bank logo on both parts) is written once.
  std::vector<std::pair<Picture, cairo_surface_t*>> images;

  ~State() {
    for (auto& image : images) cairo_surface_destroy(image.second);
    if (font != nullptr) pango_font_description_free(font);
    if (layout != nullptr) g_object_unref(layout);
    if (cr != nullptr) cairo_destroy(cr);
    if (surface != nullptr) cairo_surface_destroy(surface);
  }

  // Page position of a surface x (the scale origin moves the page's left edge).
  double PageX(double x) const { return x - scale_left; }

  // Brings the layout's font in line with the current font.
  void ApplyFont() {
    if (!font_dirty) return;
    pango_font_description_set_family(font, font_name.c_str());
    pango_font_description_set_weight(font, font_bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(font, font_italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    // Sizes in the layout's user units, which are twips.
    pango_font_description_set_absolute_size(font, font_size * kTwipsPerPoint * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    font_dirty = false;
  }

  PangoContext* context() const { return pango_layout_get_context(layout); }

  // Extents of a text in the current font: of its single run where it makes
  // one, else of the layout, which then holds the text.
  PangoRectangle LogicalExtents(std::string_view text) {
    ApplyFont();
    SingleRun run;
    if (run.Shape(context(), font, text.empty() ? std::string_view(" ") : text)) {
      PangoRectangle logical = run.logical();
      // An empty text is as high as a blank and has no width.
      if (text.empty()) logical.width = 0;
      return logical;
    }
    return LayoutExtents(text);
  }

  // Extents of a text in the current font as the layout finds them; the
  // text stays in the layout.
  PangoRectangle LayoutExtents(std::string_view text) {
    ApplyFont();
    PangoRectangle logical;
    if (text.empty()) {
      // Pango sizes an empty line in device units, not in the context's
      // twips; an empty text is as high as a blank and has no width.
      pango_layout_set_text(layout, " ", 1);
      pango_layout_get_extents(layout, nullptr, &logical);
      logical.width = 0;
      pango_layout_set_text(layout, "", 0);
      return logical;
    }
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    pango_layout_get_extents(layout, nullptr, &logical);
    return logical;
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
  state->cr = cairo_create(state->surface);
  if (format == PageFormat::kPng) {
    cairo_set_source_rgb(state->cr, 1, 1, 1);  // paper
    cairo_paint(state->cr);
  }
  cairo_scale(state->cr, units_per_twip, units_per_twip);
  cairo_set_line_width(state->cr, kLineWidthTwips);

  // Unhinted metrics: a text measures the same in twips at any resolution.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  PangoContext* context = pango_font_map_create_context(PageFontMap());
  pango_cairo_update_context(state->cr, context);
  pango_cairo_context_set_font_options(context, options);
  pango_context_set_round_glyph_positions(context, FALSE);
  state->layout = pango_layout_new(context);
  g_object_unref(context);
  cairo_font_options_destroy(options);
  state->font = pango_font_description_new();

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
  return static_cast<double>(state_->LogicalExtents(text).width) / PANGO_SCALE;
}

double CairoPageSurface::TextHeight(std::string_view text) {
  return static_cast<double>(state_->LogicalExtents(text).height) / PANGO_SCALE;
}

FontFace CairoPageSurface::PrintedFace(std::string_view text) {
  state_->LayoutExtents(text);
  PangoLayoutLine* line = pango_layout_get_line_readonly(state_->layout, 0);
  if (line == nullptr || line->runs == nullptr) return {};
  return FaceOfFont(static_cast<PangoGlyphItem*>(line->runs->data)->item->analysis.font);
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
  s.ApplyFont();
  s.SetColour(kBlack);
  cairo_move_to(s.cr, s.PageX(s.current_x), s.current_y);
  SingleRun run;
  PangoRectangle logical;
  if (text.empty()) {
    logical = s.LogicalExtents(text);  // nothing to draw
  } else if (run.Shape(s.context(), s.font, text)) {
    logical = run.logical();
    run.Show(s.cr, text);
  } else {
    logical = s.LayoutExtents(text);  // also puts the text in the layout
    pango_cairo_show_layout(s.cr, s.layout);
  }
  s.current_y += static_cast<double>(logical.height) / PANGO_SCALE;
  s.current_x = s.scale_left;
  return s.CairoStatus();
}

Status CairoPageSurface::DrawLine(double x1, double y1, double x2, double y2, Rgb colour) {
  State& s = *state_;
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  s.SetColour(colour);
  cairo_move_to(s.cr, s.PageX(x1), y1);
  cairo_line_to(s.cr, s.PageX(x2), y2);
  cairo_stroke(s.cr);
  return s.CairoStatus();
}

Status CairoPageSurface::FillRectangle(double x1, double y1, double x2, double y2, Rgb colour) {
  State& s = *state_;
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  s.SetColour(colour);
  cairo_rectangle(s.cr, s.PageX(x1), y1, x2 - x1, y2 - y1);
  cairo_fill(s.cr);
  return s.CairoStatus();
}

Status CairoPageSurface::PaintPicture(const Picture& picture, double x, double y) {
  State& s = *state_;
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  if (picture.empty()) return Status::Ok();
  const Picture::Pixels& pixels = *picture.pixels();
  cairo_surface_t* image = nullptr;
  for (const auto& [painted, surface] : s.images) {
    if (painted.pixels() == &pixels) image = surface;
  }
  if (image == nullptr) {
    if (pixels.stride != cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, pixels.width)) {
      return MakeError(error_number::kInvalidPicture, "Picture rows are not laid out for painting");
    }
    // Cairo only reads the pixels; the picture kept in `images` keeps them.
    // In a PDF an opaque picture (a BMP logo) is handed over as RGB, the
    // same words with the alpha byte ignored: the PDF then writes it without
    // first dividing every pixel by its alpha and testing it for
    // transparency. The PNG page keeps ARGB, which pixman scales faster.
    const bool rgb = s.format == PageFormat::kPdf && IsOpaque(pixels);
    image = cairo_image_surface_create_for_data(const_cast<unsigned char*>(pixels.argb32.data()),
                                                rgb ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32,
                                                pixels.width, pixels.height, pixels.stride);
    s.images.emplace_back(picture, image);
  }
  cairo_save(s.cr);
  cairo_translate(s.cr, s.PageX(x), y);
  cairo_scale(s.cr, kTwipsPerInch / pixels.dpi_x, kTwipsPerInch / pixels.dpi_y);
  cairo_set_source_surface(s.cr, image, 0, 0);
  cairo_paint(s.cr);
  cairo_restore(s.cr);
  return s.CairoStatus();
}

Status CairoPageSurface::CompletePage() {
  State& s = *state_;
  if (Status ready = s.CheckDrawable(); !ready.ok()) return ready;
  if (s.format == PageFormat::kPdf) {
    cairo_show_page(s.cr);
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

// Cairo compresses every stream of a PDF (the page's content, the font
// subsets, the logos' pixels) through zlib's deflateInit at zlib's default
// level 6, and has no setting for it. This definition of that entry point
// is bound ahead of zlib's own, in the program and its tests alike, and
// asks for level 3 where the default is asked for: the streams hold the same
// bytes once inflated, the PDF grows by an eighth (some 4 KB for the demo
// boleto) and deflating the logos takes a third of the work, a tenth of the
// whole run. Callers that name a level (libpng for the PNG page uses
// deflateInit2) keep theirs.
extern "C" int deflateInit_(z_streamp stream, int level, const char* version, int stream_size) {
  constexpr int kPdfStreamLevel = 3;
  // zlib's own defaults for the window (32 KiB) and the memory level.
  constexpr int kDefaultMemoryLevel = 8;
  if (level == Z_DEFAULT_COMPRESSION) level = kPdfStreamLevel;
  return deflateInit2_(stream, level, Z_DEFLATED, MAX_WBITS, kDefaultMemoryLevel,
                       Z_DEFAULT_STRATEGY, version, stream_size);
}
