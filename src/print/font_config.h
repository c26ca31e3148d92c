// The fonts the printed page is drawn with. The forms name Windows screen
// and printer fonts (MS Sans Serif, MS Serif, Arial, Courier New, Verdana);
// they print in metric-compatible faces: Liberation Sans for MS Sans Serif
// and Arial, Liberation Serif for MS Serif and Times New Roman, Liberation
// Mono for Courier New, and DejaVu Sans for Verdana and any other name.
//
// The program keeps a font configuration of its own (fonts.conf in its data
// folder, platform/data_files.h) that holds only those faces, read from the
// system's font caches: loading the whole system configuration and matching
// every text against every installed font cost more than drawing the page.
// Where that file is missing or one of the faces is not found where Debian
// installs it, the system configuration (with the same aliases) is used
// instead. Faces are matched once per process and kept; any thread may ask
// for one (the cache has a lock of its own). Touches: files.
#pragma once

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <memory>
#include <string>
#include <string_view>

namespace boleto {

// Which configuration the page fonts were matched in.
enum class FontConfigSource { kProgram, kSystem };
FontConfigSource PageFontConfigSource();

// A face a text prints in, as fontconfig names it.
struct FontFace {
  std::string family;  // e.g. "Liberation Sans"
  std::string style;   // e.g. "Regular", "Bold Italic"
  std::string file;
};

// A face matched for a font, ready for cairo. Lives as long as the process.
class PrintFace {
 public:
  virtual ~PrintFace() = default;
  // Cairo's face (a FreeType face with the match's synthetic bold).
  virtual cairo_font_face_t* cairo_face() const = 0;
  // The face at a size in user units, for a page's transformation and font
  // options (the caller destroys it). A face the configuration slants for a
  // font without an italic is slanted here: cairo's FreeType face leaves the
  // match's matrix out.
  virtual cairo_scaled_font_t* CreateScaledFont(double size, const cairo_matrix_t& ctm,
                                                const cairo_font_options_t* options) const = 0;
  // Whether the face has a glyph for the character (a Unicode code point).
  virtual bool HasCharacter(char32_t character) const = 0;
  virtual const FontFace& names() const = 0;
};

// The face of a pattern fontconfig matched: it names the file, and may carry
// a synthetic slant (its matrix) and emboldening. The face keeps a reference
// to the pattern.
std::unique_ptr<PrintFace> PrintFaceOfPattern(FcPattern* matched);

// The face a font name prints in, in the given weight and slant.
const PrintFace& MatchPrintFace(std::string_view name, bool bold, bool italic);

// The face that prints the characters a font's own face lacks: DejaVu Sans,
// through "sans-serif", in the given weight and slant.
const PrintFace& FallbackPrintFace(bool bold, bool italic);

}  // namespace boleto
