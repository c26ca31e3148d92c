// The faces the forms' fonts print in. Each expected face is the metric-
// compatible stand-in of the Windows font the forms name: Liberation Sans
// has Arial's advance widths (MS Sans Serif prints as Arial), Liberation
// Serif has Times New Roman's (MS Serif prints as Times), Liberation Mono
// has Courier New's; Verdana has none and prints in DejaVu Sans, as does any
// name the fonts do not know.
#include "print/font_config.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "print/cairo_page_surface.h"
#include "print/layout_form.h"

namespace boleto {
namespace {

struct ExpectedFace {
  std::string_view font;
  bool bold;
  bool italic;
  std::string_view family;
  std::string_view style;
};

constexpr ExpectedFace kFaces[] = {
    {"MS Sans Serif", false, false, "Liberation Sans", "Regular"},
    {"MS Sans Serif", true, false, "Liberation Sans", "Bold"},
    {"Arial", false, false, "Liberation Sans", "Regular"},
    {"Arial", true, false, "Liberation Sans", "Bold"},
    {"Arial", false, true, "Liberation Sans", "Italic"},
    {"MS Serif", false, false, "Liberation Serif", "Regular"},
    {"MS Serif", true, true, "Liberation Serif", "Bold Italic"},
    {"Times New Roman", false, false, "Liberation Serif", "Regular"},
    {"Courier New", false, false, "Liberation Mono", "Regular"},
    {"Courier New", true, false, "Liberation Mono", "Bold"},
    {"Verdana", false, false, "DejaVu Sans", "Book"},
    {"Verdana", true, false, "DejaVu Sans", "Bold"},
    {"Wingdings", false, false, "DejaVu Sans", "Book"},
};

std::unique_ptr<CairoPageSurface> Page() {
  Result<std::unique_ptr<CairoPageSurface>> page = CairoPageSurface::Create(PageFormat::kPdf, {});
  EXPECT_TRUE(page.ok());
  return page.ok() ? std::move(page).value() : nullptr;
}

TEST(FontConfigTest, TheProgramsOwnFontsAreInstalled) {
  // Where a face is missing the system's configuration is used instead, and
  // the faces below may differ.
  EXPECT_EQ(PageFontConfigSource(), FontConfigSource::kProgram);
}

TEST(FontConfigTest, EachFontPrintsInItsStandIn) {
  std::unique_ptr<CairoPageSurface> page = Page();
  ASSERT_NE(page, nullptr);
  for (const ExpectedFace& expected : kFaces) {
    SCOPED_TRACE(std::string(expected.font) + (expected.bold ? " bold" : "") +
                 (expected.italic ? " italic" : ""));
    page->SetFontName(expected.font);
    page->SetFontSize(8.25);
    page->SetFontBold(expected.bold);
    page->SetFontItalic(expected.italic);
    const FontFace face = page->PrintedFace("Beneficiário 0123456789");
    EXPECT_EQ(face.family, expected.family);
    EXPECT_EQ(face.style, expected.style);
    EXPECT_NE(face.file.find(".ttf"), std::string::npos) << face.file;
  }
}

TEST(FontConfigTest, EveryTemplateFontHasAnExpectedFace) {
  // A font added to a template must be added above, with its face.
  std::set<std::pair<std::string_view, bool>> expected;
  for (const ExpectedFace& face : kFaces) expected.insert({face.font, face.bold});
  // The barcode area and the printer set-up use Courier New 10, regular.
  EXPECT_TRUE(expected.count({"Courier New", false}));
  for (const FormTemplate* form :
       {&ReceiptStubTemplate(), &CompensationPartTemplate(), &TemporaryFormTemplate()}) {
    for (const ControlTemplate& control : form->controls) {
      EXPECT_TRUE(expected.count({control.font.name, control.font.bold}))
          << form->name << "." << control.name << ": " << control.font.name
          << (control.font.bold ? " bold" : "");
    }
  }
}

TEST(FontConfigTest, TemplateSizesKeepTheFace) {
  // Every size the templates use prints in the same face as 8.25 points.
  std::unique_ptr<CairoPageSurface> page = Page();
  ASSERT_NE(page, nullptr);
  for (const double size : {6.75, 8.25, 9.75, 10.0, 11.25, 12.0}) {
    SCOPED_TRACE(size);
    page->SetFontName("MS Sans Serif");
    page->SetFontSize(size);
    EXPECT_EQ(page->PrintedFace("1234").family, "Liberation Sans");
    page->SetFontName("Verdana");
    EXPECT_EQ(page->PrintedFace("1234").family, "DejaVu Sans");
  }
}

TEST(FontConfigTest, CharactersTheFaceLacksFallBackToDejaVuSans) {
  // U+2713 CHECK MARK is not in Liberation Sans; DejaVu Sans draws it.
  std::unique_ptr<CairoPageSurface> page = Page();
  ASSERT_NE(page, nullptr);
  page->SetFontName("Arial");
  page->SetFontSize(8.25);
  EXPECT_EQ(page->PrintedFace("\u2713").family, "DejaVu Sans");
  EXPECT_EQ(page->PrintedFace("a").family, "Liberation Sans");
  // A text of both prints each character in its face, side by side; the
  // line is as high as its higher face (DejaVu Sans: 1.164 em against
  // Liberation Sans' 1.117).
  EXPECT_DOUBLE_EQ(page->TextWidth("a\u2713"), page->TextWidth("a") + page->TextWidth("\u2713"));
  EXPECT_DOUBLE_EQ(page->TextHeight("a\u2713"), page->TextHeight("\u2713"));
  EXPECT_NEAR(page->TextHeight("a"), 8.25 * 20 * 1.117, 0.5);
  EXPECT_NEAR(page->TextHeight("\u2713"), 8.25 * 20 * 1.164, 0.5);
}

TEST(FontConfigTest, SyntheticSlantAndBoldReachTheGlyphs) {
  // A family without an italic or a bold face prints its regular face
  // slanted or emboldened: the configuration puts a matrix [1 0.2; 0 1] or
  // the embolden flag on the matched pattern (fonts-dejavu-core, which
  // setup installs, has no DejaVu Sans Oblique). The lower-case l of DejaVu
  // Sans is an upright bar standing on the baseline: slanted by 0.2 its ink
  // is 0.2 of its height wider, its advance unchanged.
  const std::string file = MatchPrintFace("Verdana", false, false).names().file;
  ASSERT_NE(file.find("DejaVuSans.ttf"), std::string::npos) << file;
  constexpr double kSize = 1000;  // user units: extents in thousandths of an em
  cairo_matrix_t identity;
  cairo_matrix_init_identity(&identity);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  auto extents = [&](FcPattern* pattern) {
    std::unique_ptr<PrintFace> face = PrintFaceOfPattern(pattern);
    FcPatternDestroy(pattern);
    cairo_scaled_font_t* scaled = face->CreateScaledFont(kSize, identity, options);
    cairo_text_extents_t ink;
    cairo_scaled_font_text_extents(scaled, "l", &ink);
    EXPECT_EQ(cairo_scaled_font_status(scaled), CAIRO_STATUS_SUCCESS);
    cairo_scaled_font_destroy(scaled);
    return ink;
  };
  auto regular = [&] {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FILE, reinterpret_cast<const FcChar8*>(file.c_str()));
    FcPatternAddInteger(pattern, FC_INDEX, 0);
    return pattern;
  };

  const cairo_text_extents_t upright = extents(regular());
  ASSERT_GT(upright.height, 700);  // the ascender, some 0.76 em

  FcPattern* slanted_pattern = regular();
  FcMatrix shear;
  FcMatrixInit(&shear);
  shear.xy = 0.2;
  FcPatternAddMatrix(slanted_pattern, FC_MATRIX, &shear);
  const cairo_text_extents_t slanted = extents(slanted_pattern);
  EXPECT_NEAR(slanted.width, upright.width + 0.2 * upright.height, 1);
  EXPECT_NEAR(slanted.x_bearing, upright.x_bearing, 1);  // the foot stays put
  EXPECT_DOUBLE_EQ(slanted.x_advance, upright.x_advance);
  EXPECT_DOUBLE_EQ(slanted.height, upright.height);

  // FreeType emboldens by a 24th of the em (about 42 units here) in all.
  FcPattern* bold_pattern = regular();
  FcPatternAddBool(bold_pattern, FC_EMBOLDEN, FcTrue);
  const cairo_text_extents_t bold = extents(bold_pattern);
  EXPECT_NEAR(bold.width, upright.width + kSize / 24, 2);
  cairo_font_options_destroy(options);
}

}  // namespace
}  // namespace boleto
