// Text on the cairo page: placing a text in the current font (each
// character in the font's own face, or in the fallback face where that one
// lacks it), and handing placed texts to cairo a font at a time. Glyphs
// advance by their own widths, without kerning, as the printer driver set
// text. Touches: the cairo context a batch is flushed to; faces come from
// print/font_config.h.
#pragma once

#include <cairo.h>

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "print/font_config.h"
#include "print/printer_surface.h"

namespace boleto {

// A line of text placed for the page: runs of characters, each in one face,
// with their glyphs side by side from the line's start on its baseline.
struct PlacedLine {
  struct Run {
    cairo_scaled_font_t* font;  // the placer's, not owned
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

// The current font and the texts placed in it. Scaled fonts are made for a
// context's transformation the first time a face is used at a size, and
// kept (and destroyed) with the placer. The lines of each text placed are
// kept too, by face, size, weight, slant and text: a value measured to fit
// its label and then printed, and a text that recurs on every page of a
// batch, are placed once. Past kPlacedTextsKept texts, the kept ones go.
class TextPlacer {
 public:
  TextPlacer();
  ~TextPlacer();
  TextPlacer(const TextPlacer&) = delete;
  TextPlacer& operator=(const TextPlacer&) = delete;

  void SetFontName(std::string_view name);
  void SetFontSize(double points);
  void SetFontBold(bool bold);
  void SetFontItalic(bool italic);
  const std::string& font_name() const { return font_name_; }
  double font_size() const { return font_size_; }
  bool font_bold() const { return font_bold_; }

  // The face the current font is matched to.
  const PrintFace& Face();
  // The face a character prints in: the font's own where it has the
  // character, else the fallback face where that has it, else the font's own.
  const PrintFace& FaceFor(char32_t c);
  // The lines of a text, each placed from (0, 0) on its baseline, in fonts
  // scaled for `cr`'s transformation; valid until the next call.
  const std::vector<PlacedLine>& PlaceText(std::string_view text, cairo_t* cr);
  // How many lines were shaped into glyphs so far (a text kept is not).
  size_t lines_shaped() const { return lines_shaped_; }

  // The most texts whose lines are kept (a few MB of glyphs); past it they
  // all go, and the texts that recur are placed once again.
  static constexpr size_t kPlacedTextsKept = 4096;

 private:
  PlacedLine Place(const std::string& line, cairo_t* cr);
  cairo_scaled_font_t* ScaledFont(const PrintFace& print_face, cairo_t* cr);

  std::string font_name_ = "MS Sans Serif";
  double font_size_ = 8.25;
  bool font_bold_ = false;
  bool font_italic_ = false;
  const PrintFace* face_ = nullptr;  // of the current font, once matched
  bool font_dirty_ = true;
  cairo_font_options_t* font_options_;
  // Scaled fonts by face and size in twips.
  std::map<std::pair<cairo_font_face_t*, double>, cairo_scaled_font_t*> scaled_fonts_;
  // What a text's lines were placed for.
  struct PlacedKey {
    const PrintFace* face;
    double size;
    // Weight and slant also pick the fallback face for what `face` lacks.
    bool bold;
    bool italic;
    std::string text;
    bool operator==(const PlacedKey&) const = default;
  };
  struct PlacedKeyHash {
    size_t operator()(const PlacedKey& key) const;
  };
  std::unordered_map<PlacedKey, std::vector<PlacedLine>, PlacedKeyHash> placed_;
  PlacedKey lookup_{};  // the key looked up, kept for its text's buffer
  size_t lines_shaped_ = 0;
};

// Texts printed but not yet handed to cairo: one run of glyphs for each
// scaled font, all in one colour. Cairo's cost of a text is mostly its own
// per call (extents, clipping, analysis of the page, PDF text operators), so
// the texts of a page go to it a font at a time, when something else is
// drawn or the page ends. Texts of one colour do not hide one another, so
// the order among them does not show; anything else keeps its order.
class TextBatch {
 public:
  // Keeps a run placed on the page, its line's start at page position
  // (x, y), in `colour`; texts of another colour kept so far go to `cr` first.
  // REQUIRES: the run is set left to right (no cluster flags).
  void Add(const PlacedLine::Run& run, double x, double y, Rgb colour, cairo_t* cr);
  // Hands a run set right to left to `cr` at once, after the texts kept.
  void ShowNow(const PlacedLine::Run& run, double x, double y, Rgb colour, cairo_t* cr);
  // Hands the texts kept to `cr`, leaving its colour and font as they were.
  void Flush(cairo_t* cr);
  // Drops the texts kept, handing none to cairo (a page taken off again).
  void Clear() { pending_.clear(); }
  // Whether no text is kept.
  bool empty() const { return pending_.empty(); }

 private:
  struct PendingRun {
    cairo_scaled_font_t* font;
    std::string text;
    std::vector<cairo_glyph_t> glyphs;
    std::vector<cairo_text_cluster_t> clusters;
  };
  std::vector<PendingRun> pending_;
  Rgb colour_ = kBlack;
};

}  // namespace boleto
