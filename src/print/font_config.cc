#include "print/font_config.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>

namespace boleto {
namespace {

// The program's own configuration. Fonts come from the folders the Debian
// packages fonts-liberation2, fonts-liberation and fonts-dejavu-core install
// them in, through the caches fc-cache keeps for them (a folder whose cache
// is missing or stale is scanned and its cache written, as fontconfig always
// does); only the faces of the four families below are kept. Reading these
// three caches instead of every font folder's saves a millisecond per run. Rendering follows the
// system's defaults (slight hinting, greyscale antialiasing, default LCD
// filter; the page's own font options override the hinting), and a face
// missing in some style is slanted or emboldened as the system would.
constexpr char kProgramFontConfig[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/truetype/liberation2</dir>
  <dir>/usr/share/fonts/truetype/liberation</dir>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
  <cachedir>/var/cache/fontconfig</cachedir>
  <cachedir prefix="xdg">fontconfig</cachedir>
  <selectfont>
    <acceptfont>
      <pattern><patelt name="family"><string>Liberation Sans</string></patelt></pattern>
      <pattern><patelt name="family"><string>Liberation Serif</string></patelt></pattern>
      <pattern><patelt name="family"><string>Liberation Mono</string></patelt></pattern>
      <pattern><patelt name="family"><string>DejaVu Sans</string></patelt></pattern>
    </acceptfont>
    <rejectfont><pattern/></rejectfont>
  </selectfont>

  <match target="pattern"><edit name="hintstyle" mode="append"><const>hintslight</const></edit></match>
  <match target="pattern"><edit name="antialias" mode="append"><bool>true</bool></edit></match>
  <match target="pattern"><edit name="lcdfilter" mode="append"><const>lcddefault</const></edit></match>

  <alias binding="same"><family>MS Sans Serif</family>
    <prefer><family>Arial</family><family>Liberation Sans</family></prefer></alias>
  <alias binding="same"><family>MS Serif</family>
    <prefer><family>Times New Roman</family><family>Liberation Serif</family></prefer></alias>
  <alias binding="same"><family>Arial</family><accept><family>Liberation Sans</family></accept></alias>
  <alias binding="same"><family>Times New Roman</family>
    <accept><family>Liberation Serif</family></accept></alias>
  <alias binding="same"><family>Courier New</family>
    <accept><family>Liberation Mono</family></accept></alias>
  <alias binding="same"><family>Verdana</family><accept><family>DejaVu Sans</family></accept></alias>

  <match target="pattern">
    <test qual="all" name="family" compare="not_eq"><string>sans-serif</string></test>
    <test qual="all" name="family" compare="not_eq"><string>serif</string></test>
    <test qual="all" name="family" compare="not_eq"><string>monospace</string></test>
    <edit name="family" mode="append_last"><string>sans-serif</string></edit>
  </match>
  <alias><family>sans-serif</family><prefer><family>DejaVu Sans</family></prefer></alias>
  <alias><family>serif</family><prefer><family>Liberation Serif</family></prefer></alias>
  <alias><family>monospace</family><prefer><family>Liberation Mono</family></prefer></alias>

  <match target="font">
    <test name="slant"><const>roman</const></test>
    <test target="pattern" name="slant" compare="not_eq"><const>roman</const></test>
    <edit name="matrix" mode="assign"><times><name>matrix</name>
      <matrix><double>1</double><double>0.2</double><double>0</double><double>1</double></matrix>
    </times></edit>
    <edit name="slant" mode="assign"><const>oblique</const></edit>
    <edit name="embeddedbitmap" mode="assign"><bool>false</bool></edit>
  </match>
  <match target="font">
    <test name="weight" compare="less_eq"><const>medium</const></test>
    <test target="pattern" name="weight" compare="more_eq"><const>bold</const></test>
    <edit name="embolden" mode="assign"><bool>true</bool></edit>
    <edit name="weight" mode="assign"><const>bold</const></edit>
  </match>
</fontconfig>
)";

// The families the program's configuration must find: Liberation Sans, Serif
// and Mono stand in for Arial, Times New Roman and Courier New with the same
// advance widths; DejaVu Sans prints Verdana and any other name.
constexpr const char* kProgramFamilies[] = {"Liberation Sans", "Liberation Serif",
                                            "Liberation Mono", "DejaVu Sans"};

// With the system configuration, only the forms' screen fonts need aliases
// (MS Sans Serif printed as Arial, MS Serif as Times); the system's own
// aliases reach Liberation Sans, Serif and Mono.
constexpr char kSystemFontAliases[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same"><family>MS Sans Serif</family>
    <prefer><family>Arial</family><family>Liberation Sans</family></prefer></alias>
  <alias binding="same"><family>MS Serif</family>
    <prefer><family>Times New Roman</family><family>Liberation Serif</family></prefer></alias>
</fontconfig>
)";

bool HoldsFamily(FcFontSet* fonts, const char* family) {
  for (int i = 0; fonts != nullptr && i < fonts->nfont; ++i) {
    FcChar8* name = nullptr;
    for (int n = 0; FcPatternGetString(fonts->fonts[i], FC_FAMILY, n, &name) == FcResultMatch;
         ++n) {
      if (std::strcmp(reinterpret_cast<const char*>(name), family) == 0) return true;
    }
  }
  return false;
}

// The program's configuration with its fonts loaded, or null where it cannot
// be made or lacks one of the families.
FcConfig* LoadProgramConfig() {
  FcConfig* config = FcConfigCreate();
  if (config == nullptr) return nullptr;
  bool usable = FcConfigParseAndLoadFromMemory(
                    config, reinterpret_cast<const FcChar8*>(kProgramFontConfig), FcFalse) &&
                FcConfigBuildFonts(config);
  for (const char* family : kProgramFamilies) {
    usable = usable && HoldsFamily(FcConfigGetFonts(config, FcSetSystem), family);
  }
  if (!usable) {
    FcConfigDestroy(config);
    return nullptr;
  }
  return config;
}

// The configuration every face of the process is matched in, made on first
// use: the program's own where its faces are installed, else the system's.
struct PageConfig {
  FcConfig* config;
  FontConfigSource source;
};

const PageConfig& Config() {
  static const PageConfig page = [] {
    FcConfig* config = LoadProgramConfig();
    if (config != nullptr) {
      // Also the process's current configuration, so that nothing loads
      // the system's behind it.
      FcConfigSetCurrent(config);
      return PageConfig{config, FontConfigSource::kProgram};
    }
    config = FcConfigReference(nullptr);
    if (config != nullptr) {
      FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kSystemFontAliases),
                                     FcFalse);
    }
    return PageConfig{config, FontConfigSource::kSystem};
  }();
  return page;
}

std::string PatternString(FcPattern* pattern, const char* object) {
  FcChar8* value = nullptr;
  if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch) return "";
  return reinterpret_cast<const char*>(value);
}

// A fontconfig matrix as cairo's: fontconfig's y axis points up, cairo's
// down, so the shear terms change sign.
cairo_matrix_t CairoMatrix(const FcMatrix& m) {
  cairo_matrix_t matrix;
  cairo_matrix_init(&matrix, m.xx, -m.yx, -m.xy, m.yy, 0, 0);
  return matrix;
}

class MatchedFace : public PrintFace {
 public:
  // A face for a matched pattern, whose reference it takes over; null where
  // nothing matched: cairo's own fallback face, which has no names.
  explicit MatchedFace(FcPattern* pattern) : pattern_(pattern) {
    cairo_matrix_init_identity(&slant_);
    if (pattern_ == nullptr) {
      face_ = cairo_toy_font_face_create("", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
      return;
    }
    FcPatternGetCharSet(pattern_, FC_CHARSET, 0, &charset_);
    names_ = FontFace{PatternString(pattern_, FC_FAMILY), PatternString(pattern_, FC_STYLE),
                      PatternString(pattern_, FC_FILE)};
    // Cairo takes the file and the emboldening from the pattern; the
    // synthetic slant (a matrix) is applied to the face's font matrix.
    FcMatrix* matrix = nullptr;
    if (FcPatternGetMatrix(pattern_, FC_MATRIX, 0, &matrix) == FcResultMatch) {
      slant_ = CairoMatrix(*matrix);
    }
    face_ = cairo_ft_font_face_create_for_pattern(pattern_);
  }
  MatchedFace(const MatchedFace&) = delete;
  MatchedFace& operator=(const MatchedFace&) = delete;
  ~MatchedFace() override {
    cairo_font_face_destroy(face_);
    if (pattern_ != nullptr) FcPatternDestroy(pattern_);
  }

  cairo_font_face_t* cairo_face() const override { return face_; }
  cairo_scaled_font_t* CreateScaledFont(double size, const cairo_matrix_t& ctm,
                                        const cairo_font_options_t* options) const override {
    cairo_matrix_t scale, font;
    cairo_matrix_init_scale(&scale, size, size);
    cairo_matrix_multiply(&font, &slant_, &scale);  // slanted in the em, then sized
    return cairo_scaled_font_create(face_, &font, &ctm, options);
  }
  bool HasCharacter(char32_t character) const override {
    return charset_ != nullptr && FcCharSetHasChar(charset_, character);
  }
  const FontFace& names() const override { return names_; }

 private:
  FcPattern* pattern_ = nullptr;
  FcCharSet* charset_ = nullptr;  // the pattern's
  cairo_matrix_t slant_;          // the pattern's matrix; the identity without one
  cairo_font_face_t* face_ = nullptr;
  FontFace names_;
};

// The pattern fontconfig matches for a family in a weight and slant; null
// where nothing matches.
FcPattern* MatchPattern(const char* family, bool bold, bool italic) {
  FcPattern* wanted = FcPatternCreate();
  FcPatternAddString(wanted, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(wanted, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(wanted, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfig* config = Config().config;
  FcConfigSubstitute(config, wanted, FcMatchPattern);
  FcDefaultSubstitute(wanted);
  FcResult result = FcResultNoMatch;
  FcPattern* matched = FcFontMatch(config, wanted, &result);
  FcPatternDestroy(wanted);
  return matched;
}

// Faces by name, weight and slant, for the process.
const PrintFace& CachedFace(std::string_view name, bool bold, bool italic) {
  static std::map<std::tuple<std::string, bool, bool>, std::unique_ptr<MatchedFace>, std::less<>>
      faces;
  auto key = std::make_tuple(std::string(name), bold, italic);
  auto found = faces.find(key);
  if (found == faces.end()) {
    auto face = std::make_unique<MatchedFace>(MatchPattern(std::get<0>(key).c_str(), bold, italic));
    found = faces.emplace(std::move(key), std::move(face)).first;
  }
  return *found->second;
}

}  // namespace

FontConfigSource PageFontConfigSource() { return Config().source; }

std::unique_ptr<PrintFace> PrintFaceOfPattern(FcPattern* matched) {
  FcPatternReference(matched);
  return std::make_unique<MatchedFace>(matched);
}

const PrintFace& MatchPrintFace(std::string_view name, bool bold, bool italic) {
  return CachedFace(name, bold, italic);
}

const PrintFace& FallbackPrintFace(bool bold, bool italic) {
  return CachedFace("sans-serif", bold, italic);
}

}  // namespace boleto
