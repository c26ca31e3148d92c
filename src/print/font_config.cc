#include "print/font_config.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>

#include "platform/data_files.h"

namespace boleto {
namespace {

// The program's own configuration: the faces it prints in and the aliases
// that reach them from the fonts the forms name.
constexpr char kProgramFontConfigFile[] = "fonts.conf";

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

// The program's configuration (fonts.conf in its data folder) with its fonts
// loaded, or null where the file is missing, cannot be read or lacks one of
// the families.
FcConfig* LoadProgramConfig() {
  const std::string file = ProgramDataFile(kProgramFontConfigFile);
  if (file.empty()) return nullptr;
  FcConfig* config = FcConfigCreate();
  if (config == nullptr) return nullptr;
  bool usable =
      FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(file.c_str()), FcFalse) &&
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

// Faces by name, weight and slant, for the process. Pages drawn on two
// threads (a batch's drawing thread and a test's own) may ask at once: the
// map is read and filled under its lock, and a face never changes once made.
const PrintFace& CachedFace(std::string_view name, bool bold, bool italic) {
  static std::mutex lock;
  static std::map<std::tuple<std::string, bool, bool>, std::unique_ptr<MatchedFace>, std::less<>>
      faces;
  std::lock_guard hold(lock);
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
