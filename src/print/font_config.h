// The fonts the printed page is drawn with. The forms name Windows screen
// and printer fonts (MS Sans Serif, MS Serif, Arial, Courier New, Verdana);
// they print in metric-compatible faces: Liberation Sans for MS Sans Serif
// and Arial, Liberation Serif for MS Serif and Times New Roman, Liberation
// Mono for Courier New, and DejaVu Sans for Verdana and any other name.
//
// The program keeps a font configuration of its own that holds only those
// faces, read from the system's font caches: loading the whole system
// configuration and matching every text against every installed font cost
// more than drawing the page. Where one of the faces is not found where
// Debian installs it, the system configuration (with the same aliases) is
// used instead.
#pragma once

#include <pango/pango.h>

#include <string>

namespace boleto {

// The font map every printed page of the process uses; made on first use.
PangoFontMap* PageFontMap();

// Which configuration the page font map was made from.
enum class FontConfigSource { kProgram, kSystem };
FontConfigSource PageFontConfigSource();

// A face a text prints in, as fontconfig names it.
struct FontFace {
  std::string family;  // e.g. "Liberation Sans"
  std::string style;   // e.g. "Regular", "Bold Italic"
  std::string file;
};

// The face pango picked for a font of a laid-out text (a PangoFcFont); empty
// names where the font is of another kind.
FontFace FaceOfFont(PangoFont* font);

}  // namespace boleto
