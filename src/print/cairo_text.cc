#include "print/cairo_text.h"

#include <algorithm>
#include <utility>

#include "print/cairo_paint.h"
#include "print/utf8_text.h"

namespace boleto {

namespace {

// Whether a character prints in whatever face its neighbours print in.
bool IsBlank(char32_t c) { return c == 0x20 || c == 0xA0; }

}  // namespace

TextPlacer::TextPlacer() : font_options_(cairo_font_options_create()) {
  // Unhinted metrics: a text measures the same in twips at any resolution.
  cairo_font_options_set_hint_metrics(font_options_, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(font_options_, CAIRO_HINT_STYLE_NONE);
}

TextPlacer::~TextPlacer() {
  for (auto& scaled : scaled_fonts_) cairo_scaled_font_destroy(scaled.second);
  cairo_font_options_destroy(font_options_);
}

// Each label sets its font again, mostly to the one in force: the face is
// matched again only where the font changed.
void TextPlacer::SetFontName(std::string_view name) {
  if (name == font_name_) return;
  font_name_ = std::string(name);
  font_dirty_ = true;
}
void TextPlacer::SetFontSize(double points) { font_size_ = points; }
void TextPlacer::SetFontBold(bool bold) {
  if (bold == font_bold_) return;
  font_bold_ = bold;
  font_dirty_ = true;
}
void TextPlacer::SetFontItalic(bool italic) {
  if (italic == font_italic_) return;
  font_italic_ = italic;
  font_dirty_ = true;
}

const PrintFace& TextPlacer::Face() {
  if (font_dirty_) {
    face_ = &MatchPrintFace(font_name_, font_bold_, font_italic_);
    font_dirty_ = false;
  }
  return *face_;
}

const PrintFace& TextPlacer::FaceFor(char32_t c) {
  const PrintFace& own = Face();
  if (own.HasCharacter(c)) return own;
  // Where neither face has it, the font's own prints its missing-glyph box.
  const PrintFace& fallback = FallbackPrintFace(font_bold_, font_italic_);
  return fallback.HasCharacter(c) ? fallback : own;
}

cairo_scaled_font_t* TextPlacer::ScaledFont(const PrintFace& print_face, cairo_t* cr) {
  const double twips = font_size_ * kTwipsPerPoint;
  cairo_scaled_font_t*& scaled = scaled_fonts_[{print_face.cairo_face(), twips}];
  if (scaled == nullptr) {
    cairo_matrix_t page;
    cairo_get_matrix(cr, &page);
    scaled = print_face.CreateScaledFont(twips, page, font_options_);
  }
  return scaled;
}

// Places one printed line (well-formed UTF-8 without line breaks).
PlacedLine TextPlacer::Place(const std::string& line, cairo_t* cr) {
  Face();
  PlacedLine placed;
  const PrintFace* run_face = nullptr;
  std::string run_text;
  auto flush = [&] {
    if (run_text.empty()) return;
    PlacedLine::Run run{ScaledFont(*run_face, cr), std::move(run_text), {}, {}, {}};
    run_text.clear();
    cairo_glyph_t* glyphs = nullptr;
    int glyph_count = 0;
    cairo_text_cluster_t* clusters = nullptr;
    int cluster_count = 0;
    if (cairo_scaled_font_text_to_glyphs(
            run.font, placed.width, 0, run.text.data(), static_cast<int>(run.text.size()), &glyphs,
            &glyph_count, &clusters, &cluster_count, &run.cluster_flags) == CAIRO_STATUS_SUCCESS &&
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
    cairo_scaled_font_extents(ScaledFont(*face_, cr), &extents);
    placed.ascent = extents.ascent;
    placed.descent = extents.descent;
  }
  return placed;
}

size_t TextPlacer::PlacedKeyHash::operator()(const PlacedKey& key) const {
  size_t hash = std::hash<std::string>()(key.text);
  // Boost's hash_combine: the golden ratio's bits spread each part.
  auto combine = [&hash](size_t part) { hash ^= part + 0x9e3779b9 + (hash << 6) + (hash >> 2); };
  combine(std::hash<const PrintFace*>()(key.face));
  combine(std::hash<double>()(key.size));
  combine(static_cast<size_t>(key.bold) << 1 | static_cast<size_t>(key.italic));
  return hash;
}

const std::vector<PlacedLine>& TextPlacer::PlaceText(std::string_view text, cairo_t* cr) {
  Face();
  lookup_.face = face_;
  lookup_.size = font_size_;
  lookup_.bold = font_bold_;
  lookup_.italic = font_italic_;
  lookup_.text.assign(text);
  if (auto kept = placed_.find(lookup_); kept != placed_.end()) return kept->second;
  if (placed_.size() >= kPlacedTextsKept) placed_.clear();
  std::vector<PlacedLine> lines;
  for (const std::string& line : PrintedLines(text)) {
    lines.push_back(Place(line, cr));
    ++lines_shaped_;
  }
  return placed_.emplace(lookup_, std::move(lines)).first->second;
}

void TextBatch::Add(const PlacedLine::Run& run, double x, double y, Rgb colour, cairo_t* cr) {
  if (run.glyphs.empty()) return;
  if (!pending_.empty() && !(colour == colour_)) Flush(cr);
  colour_ = colour;
  auto same_font = std::find_if(pending_.begin(), pending_.end(),
                                [&](const PendingRun& p) { return p.font == run.font; });
  if (same_font == pending_.end()) {
    pending_.push_back(PendingRun{run.font, {}, {}, {}});
    same_font = pending_.end() - 1;
  }
  same_font->text += run.text;
  for (const cairo_glyph_t& glyph : run.glyphs) {
    same_font->glyphs.push_back(cairo_glyph_t{glyph.index, glyph.x + x, glyph.y + y});
  }
  same_font->clusters.insert(same_font->clusters.end(), run.clusters.begin(), run.clusters.end());
}

void TextBatch::ShowNow(const PlacedLine::Run& run, double x, double y, Rgb colour, cairo_t* cr) {
  Flush(cr);
  std::vector<cairo_glyph_t> glyphs;
  glyphs.reserve(run.glyphs.size());
  for (const cairo_glyph_t& glyph : run.glyphs) {
    glyphs.push_back(cairo_glyph_t{glyph.index, glyph.x + x, glyph.y + y});
  }
  SetSourceColour(cr, colour);
  cairo_set_scaled_font(cr, run.font);
  cairo_show_text_glyphs(cr, run.text.data(), static_cast<int>(run.text.size()), glyphs.data(),
                         static_cast<int>(glyphs.size()), run.clusters.data(),
                         static_cast<int>(run.clusters.size()), run.cluster_flags);
}

void TextBatch::Flush(cairo_t* cr) {
  if (pending_.empty()) return;
  cairo_save(cr);  // the colour and font of what is drawn next stay
  SetSourceColour(cr, colour_);
  for (const PendingRun& run : pending_) {
    cairo_set_scaled_font(cr, run.font);
    cairo_show_text_glyphs(cr, run.text.data(), static_cast<int>(run.text.size()),
                           run.glyphs.data(), static_cast<int>(run.glyphs.size()),
                           run.clusters.data(), static_cast<int>(run.clusters.size()),
                           cairo_text_cluster_flags_t{});
  }
  cairo_restore(cr);
  pending_.clear();
}

}  // namespace boleto
