#include <cairo.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "print/cairo_page_surface.h"
#include "print/cairo_text.h"
#include "print/page_delivery.h"
#include "print/print_job.h"
#include "print/renderer.h"
#include "print/utf8_text.h"
#include "print_test_helpers.h"
#include "support/paths.h"

namespace boleto {
namespace {

using testing::FileDestination;
using testing::FindWord;
using testing::MakeTempDir;
using testing::PdfPageInto;
using testing::PdfWords;
using testing::PrintedLineOf;
using testing::ReadFile;
using testing::RemoveTree;
using testing::RunCommand;
using testing::TenBankBoletos;
using testing::Word;

class CairoPageTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = MakeTempDir("boleto-print-"); }
  void TearDown() override { RemoveTree(dir_); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string dir_;
};

// Writes a little-endian 32-bit word into a file's bytes.
void PutWord(std::string& bytes, int at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

std::string WithWord(std::string bytes, int at, uint32_t value) {
  PutWord(bytes, at, value);
  return bytes;
}

// A BMP file of uncompressed rows: the 14-byte file header stating the
// file's size, a 40-byte BITMAPINFOHEADER, the palette (entries blue,
// green, red, 0) and the rows as given (bottom-up, each padded to four
// bytes).
std::string Bmp(int width, int height, int bits, const std::vector<uint32_t>& palette,
                const std::string& rows, uint32_t pixels_per_metre = 0) {
  const int offset = 54 + 4 * static_cast<int>(palette.size());
  std::string bmp(offset, '\0');
  bmp[0] = 'B', bmp[1] = 'M';
  PutWord(bmp, 2, static_cast<uint32_t>(offset + rows.size()));
  PutWord(bmp, 10, offset);  // pixel data offset
  PutWord(bmp, 14, 40);      // BITMAPINFOHEADER
  PutWord(bmp, 18, width);
  PutWord(bmp, 22, height);
  bmp[26] = 1;  // planes
  bmp[28] = static_cast<char>(bits);
  PutWord(bmp, 34, static_cast<uint32_t>(rows.size()));
  PutWord(bmp, 38, pixels_per_metre);  // horizontal resolution
  PutWord(bmp, 42, pixels_per_metre);  // vertical resolution
  PutWord(bmp, 46, static_cast<uint32_t>(palette.size()));
  for (size_t i = 0; i < palette.size(); ++i)
    PutWord(bmp, 54 + 4 * static_cast<int>(i), palette[i]);
  return bmp + rows;
}

// A 24-bit BMP file whose every pixel is the given colour.
std::string SolidBmp(int width, int height, Rgb colour, uint32_t pixels_per_metre = 0) {
  const int row = (width * 3 + 3) / 4 * 4;
  std::string rows(static_cast<size_t>(row) * height, '\0');
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int at = y * row + x * 3;
      rows[at] = static_cast<char>(colour.blue);
      rows[at + 1] = static_cast<char>(colour.green);
      rows[at + 2] = static_cast<char>(colour.red);
    }
  }
  return Bmp(width, height, 24, {}, rows, pixels_per_metre);
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// A boleto with its digitable line and a few values filled in.
struct Boleto {
  LayoutForm receipt_stub{ReceiptStubTemplate()};
  LayoutForm compensation_part{CompensationPartTemplate()};
  explicit Boleto(const std::string& printed_line) {
    EXPECT_TRUE(compensation_part.SetCaption("nr", printed_line).ok());
    for (LayoutForm* form : {&receipt_stub, &compensation_part}) {
      EXPECT_TRUE(form->SetCaption("lblValorDocumento", "1.234,56").ok());
      EXPECT_TRUE(form->SetCaption("lblSacado1", "JOSÉ DA CONCEIÇÃO").ok());
      EXPECT_TRUE(form->SetCaption("lblCodigoBanco", "| 001-9 |").ok());
    }
  }
};

// Renders a boleto as the run does and writes it to the file.
Status PrintToFile(const Boleto& boleto, const std::string& path,
                   std::string_view bank_description = "BANCO EXEMPLO") {
  Result<std::unique_ptr<PrintJob>> job = PrintJob::Open(FileDestination(path));
  if (!job.ok()) return job.status();
  (*job)->Setup();
  if (Status drawn =
          (*job)->Render(boleto.receipt_stub, boleto.compensation_part, bank_description);
      !drawn.ok()) {
    return drawn;
  }
  if (Status completed = (*job)->CompletePage(); !completed.ok()) return completed;
  return (*job)->Close();
}

TEST_F(CairoPageTest, CourierNewMeasuresAsCourierNew) {
  // Liberation Mono stands in for Courier New with the same advance: 0.6 em,
  // so "W" at 10 points is 120 twips (within rounding of the font units).
  Result<std::unique_ptr<CairoPageSurface>> page = CairoPageSurface::Create(PageFormat::kPdf, {});
  ASSERT_TRUE(page.ok());
  PrinterSetup(**page);
  EXPECT_NEAR((*page)->TextWidth("W"), 120.0, 0.1);
  EXPECT_NEAR((*page)->TextWidth("WWWWWWWWWW"), 1200.0, 1.0);
  // The origin centres 96 such characters on the A4 width.
  EXPECT_NEAR((*page)->ScaleLeft(), -(kA4WidthTwips - 96 * 120.0) / 2, 5.0);
  EXPECT_GT((*page)->CurrentY(), 200);  // the height of "H", a line of 10 points
  EXPECT_LT((*page)->CurrentY(), 300);
  // Arial is measured with its stand-in too: wider text, wider measure.
  (*page)->SetFontName("Arial");
  (*page)->SetFontSize(6.75);
  EXPECT_GT((*page)->TextWidth("Beneficiário"), (*page)->TextWidth("Benef"));
}

// One boleto per bank, each its own test so that they can run side by side.
class BankBarcodeTest : public CairoPageTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(BankBarcodeTest, DecodesFromThePng) {
  if (RunCommand("command -v zbarimg").exit_status != 0) GTEST_SKIP() << "zbarimg not installed";
  const auto sample = TenBankBoletos()[GetParam()];
  Boleto boleto(PrintedLineOf(sample.barcode));
  const std::string png = Path(std::string(sample.bank) + ".png");
  ASSERT_TRUE(PrintToFile(boleto, png).ok());
  testing::CommandOutput decoded =
      RunCommand("zbarimg --raw -q -Sdisable -Si25.enable '" + png + "' 2>/dev/null");
  EXPECT_EQ(decoded.exit_status, 0);
  EXPECT_EQ(decoded.output, sample.barcode + "\n");
}

INSTANTIATE_TEST_SUITE_P(TenBanks, BankBarcodeTest, ::testing::Range<size_t>(0, 10),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           return std::string("Bank") + TenBankBoletos()[info.param].bank;
                         });

TEST_F(CairoPageTest, PngIsA4At300Dpi) {
  Boleto boleto(PrintedLineOf(TenBankBoletos()[0].barcode));
  const std::string png = Path("page.png");
  ASSERT_TRUE(PrintToFile(boleto, png).ok());
  cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(image), 2480);   // 8.27 in x 300
  EXPECT_EQ(cairo_image_surface_get_height(image), 3508);  // 11.69 in x 300
  cairo_surface_destroy(image);
}

// Colour of the PNG pixel at a page position in twips (x on the page's
// surface coordinates, before the origin shift).
Rgb PixelAt(cairo_surface_t* image, double page_x_twips, double y_twips) {
  const double scale = kPngDpi / kTwipsPerInch;
  const int x = static_cast<int>(page_x_twips * scale);
  const int y = static_cast<int>(y_twips * scale);
  cairo_surface_flush(image);
  const unsigned char* row =
      cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image);
  const uint32_t pixel = reinterpret_cast<const uint32_t*>(row)[x];
  return Rgb{static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8),
             static_cast<uint8_t>(pixel)};
}

TEST_F(CairoPageTest, LogosAtNaturalSizeAndBarsWhereTheyBelong) {
  // A 110 x 32 bank logo at 96 pixels per inch is 1650 x 480 twips; painted
  // at (480, 1850) on the stub it ends at x 2130, y 2330 whatever the box.
  const Rgb red{255, 0, 0};
  WriteFile(Path("LOGO.BMP"), SolidBmp(110, 32, red));
  Result<Picture> logo = LoadPicture(Path("LOGO.BMP"));
  ASSERT_TRUE(logo.ok()) << logo.error().description;
  EXPECT_DOUBLE_EQ(logo->WidthTwips(), 1650);
  EXPECT_DOUBLE_EQ(logo->HeightTwips(), 480);

  Boleto boleto(PrintedLineOf(TenBankBoletos()[0].barcode));
  ASSERT_TRUE(boleto.receipt_stub.SetPicture("PictLogoBanco", *logo).ok());
  const std::string png = Path("logo.png");
  ASSERT_TRUE(PrintToFile(boleto, png).ok());

  cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
  // Page x is surface x minus the origin (about -192 twips for Courier New).
  const double shift = (kA4WidthTwips - 96 * 120.0) / 2;
  EXPECT_EQ(PixelAt(image, shift + 480 + 40, 1850 + 40), red);
  EXPECT_EQ(PixelAt(image, shift + 2130 - 40, 2330 - 40), red);
  EXPECT_EQ(PixelAt(image, shift + 2130 + 60, 1850 + 40), kWhite);  // box is 1695 wide
  EXPECT_EQ(PixelAt(image, shift + 480 + 40, 2330 + 60), kWhite);
  // The first bar: page x 870 to 885, y 13550 to 14300 (3 pixels wide).
  EXPECT_EQ(PixelAt(image, shift + 877, 13900), kBlack);
  EXPECT_EQ(PixelAt(image, shift + 877, 13500), kWhite);  // above the bars
  EXPECT_EQ(PixelAt(image, shift + 877, 14350), kWhite);  // below them
  EXPECT_EQ(PixelAt(image, shift + 800, 13900), kWhite);  // quiet zone
  cairo_surface_destroy(image);
}

TEST_F(CairoPageTest, PicturesPrintAtNinetySixPixelsPerInch) {
  // Whatever resolution the file states, as Windows sizes a loaded bitmap:
  // a BMP that says 7559 pixels per metre (192 per inch) and a PNG without
  // one both print 64 x 32 pixels as 960 x 480 twips.
  WriteFile(Path("logo.bmp"), SolidBmp(64, 32, kWhite, 7559));
  Result<Picture> bmp = LoadPicture(Path("logo.bmp"));
  ASSERT_TRUE(bmp.ok()) << bmp.error().description;
  EXPECT_DOUBLE_EQ(bmp->WidthTwips(), 960);
  EXPECT_DOUBLE_EQ(bmp->HeightTwips(), 480);

  // Half-transparent green: kept premultiplied, as cairo paints it.
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 64, 32);
  cairo_t* cr = cairo_create(image);
  cairo_set_source_rgba(cr, 0, 1, 0, 128 / 255.0);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  ASSERT_EQ(cairo_surface_write_to_png(image, Path("logo.png").c_str()), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(image);
  Result<Picture> png = LoadPicture(Path("logo.png"));
  ASSERT_TRUE(png.ok()) << png.error().description;
  EXPECT_DOUBLE_EQ(png->WidthTwips(), 960);
  EXPECT_DOUBLE_EQ(png->HeightTwips(), 480);
  const uint32_t first = *reinterpret_cast<const uint32_t*>(png->pixels()->argb32.data());
  EXPECT_EQ(first, 0x80008000u);
}

TEST_F(CairoPageTest, PaletteBitmapsLoadTheirColours) {
  // Two 2 x 1 bitmaps of a red and a blue pixel, one with a 1-bit and one
  // with an 8-bit palette (Paint's monochrome and 256-colour formats). Rows
  // are padded to four bytes; palette entries are blue, green, red, 0.
  const struct {
    int bits;
    std::string row;
  } kCases[] = {
      {1, std::string("\x40\0\0\0", 4)},    // pixels 0, 1 in the top bits
      {8, std::string("\x00\x01\0\0", 4)},  // one byte a pixel
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.bits);
    // Colour 0 red, colour 1 blue.
    WriteFile(Path("palette.bmp"), Bmp(2, 1, c.bits, {0x00ff0000, 0x000000ff}, c.row));
    Result<Picture> picture = LoadPicture(Path("palette.bmp"));
    ASSERT_TRUE(picture.ok()) << picture.error().description;
    const auto* words = reinterpret_cast<const uint32_t*>(picture->pixels()->argb32.data());
    EXPECT_EQ(words[0], 0xffff0000u);
    EXPECT_EQ(words[1], 0xff0000ffu);
  }
}

TEST_F(CairoPageTest, PrintedTextMovesToTheNextLine) {
  Result<std::unique_ptr<CairoPageSurface>> page = CairoPageSurface::Create(PageFormat::kPdf, {});
  ASSERT_TRUE(page.ok());
  PrinterSurface& surface = **page;
  PrinterSetup(surface);
  surface.SetCurrentX(3000);
  surface.SetCurrentY(1000);
  // Courier New 10 is about 1.13 em high: some 226 twips.
  const double height = surface.TextHeight("Cedente");
  EXPECT_NEAR(height, 226, 10);
  EXPECT_DOUBLE_EQ(surface.TextHeight(""), height);
  EXPECT_DOUBLE_EQ(surface.TextWidth(""), 0);
  ASSERT_TRUE(surface.PrintText("").ok());  // an empty text moves too
  EXPECT_DOUBLE_EQ(surface.CurrentY(), 1000 + height);
  EXPECT_DOUBLE_EQ(surface.CurrentX(), surface.ScaleLeft());
  ASSERT_TRUE(surface.PrintText("Cedente").ok());
  EXPECT_DOUBLE_EQ(surface.CurrentY(), 1000 + 2 * height);
}

TEST_F(CairoPageTest, LinesOfATextMeasureOneByOne) {
  // A text with a line break prints as two lines: as wide as its widest,
  // each line as high as a text of one line.
  Result<std::unique_ptr<CairoPageSurface>> page = CairoPageSurface::Create(PageFormat::kPdf, {});
  ASSERT_TRUE(page.ok());
  for (const char* font : {"MS Sans Serif", "Arial", "MS Serif", "Courier New", "Verdana"}) {
    for (const double points : {6.75, 8.25, 12.0}) {
      SCOPED_TRACE(std::string(font) + " " + std::to_string(points));
      (*page)->SetFontName(font);
      (*page)->SetFontSize(points);
      EXPECT_DOUBLE_EQ((*page)->TextWidth("Recibo do Pagador"),
                       (*page)->TextWidth("Recibo do Pagador\nRecibo"));
      EXPECT_DOUBLE_EQ(2 * (*page)->TextHeight("Beneficiário"),
                       (*page)->TextHeight("Beneficiário\nBeneficiário"));
    }
  }
}

// A context in twips, as the page's, on a surface nothing is drawn on.
struct TwipsContext {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(surface);
  TwipsContext() { cairo_scale(cr, 1.0 / kTwipsPerPoint, 1.0 / kTwipsPerPoint); }
  ~TwipsContext() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
};

// The faces, glyphs and widths of a text's lines, to compare placements.
std::string Placement(const std::vector<PlacedLine>& lines) {
  std::string out;
  for (const PlacedLine& line : lines) {
    out += std::to_string(line.width) + " " + std::to_string(line.ascent) + ":";
    for (const PlacedLine::Run& run : line.runs) {
      // The face, which the placers share: italic Arial has the widths of
      // the upright one.
      out += " face " +
             std::to_string(reinterpret_cast<uintptr_t>(cairo_scaled_font_get_font_face(run.font)));
      for (const cairo_glyph_t& glyph : run.glyphs) {
        out += " " + std::to_string(glyph.index) + "@" + std::to_string(glyph.x);
      }
    }
    out += "\n";
  }
  return out;
}

TEST(TextPlacer, ATextPlacedAgainInTheSameFontIsNotShapedAgainAndPlacesTheSame) {
  static const struct {
    const char* font;
    double points;
    bool bold;
    bool italic;
    const char* text;
  } cases[] = {
      {"Arial", 8.25, false, false, "Recibo do Pagador"},
      {"Arial", 8.25, true, false, "Recibo do Pagador"},   // bold: wider
      {"Arial", 8.25, false, true, "Recibo do Pagador"},   // italic
      {"Arial", 6.75, false, false, "Recibo do Pagador"},  // smaller
      {"Courier New", 8.25, false, false, "Recibo do Pagador"},
      {"MS Sans Serif", 8.25, false, false, "Recibo do Pagador"},  // a name for another face
      {"Arial", 8.25, false, false, "Recibo do Pagador\nRecibo"},  // two lines
      {"Arial", 8.25, false, false, "JOSÉ DA CONCEIÇÃO ★"},  // the star from the fallback face
      {"Arial", 8.25, false, false, ""},
  };
  TwipsContext context;
  TextPlacer placer;
  std::vector<std::string> first;
  size_t lines = 0;
  for (const auto& c : cases) {
    placer.SetFontName(c.font);
    placer.SetFontSize(c.points);
    placer.SetFontBold(c.bold);
    placer.SetFontItalic(c.italic);
    first.push_back(Placement(placer.PlaceText(c.text, context.cr)));
    lines += PrintedLines(c.text).size();
    EXPECT_EQ(placer.lines_shaped(), lines) << c.font << " " << c.text;
  }
  for (size_t i = std::size(cases); i-- > 0;) {
    const auto& c = cases[i];
    placer.SetFontName(c.font);
    placer.SetFontSize(c.points);
    placer.SetFontBold(c.bold);
    placer.SetFontItalic(c.italic);
    EXPECT_EQ(Placement(placer.PlaceText(c.text, context.cr)), first[i]) << i;
    // Placed alone, by a placer that kept nothing, it is the same.
    TextPlacer fresh;
    fresh.SetFontName(c.font);
    fresh.SetFontSize(c.points);
    fresh.SetFontBold(c.bold);
    fresh.SetFontItalic(c.italic);
    EXPECT_EQ(Placement(fresh.PlaceText(c.text, context.cr)), first[i]) << i;
  }
  EXPECT_EQ(placer.lines_shaped(), lines);
  EXPECT_NE(first[0], first[1]);
  EXPECT_NE(first[0], first[2]);
  EXPECT_NE(first[0], first[3]);

  // Past the texts it keeps, the placer starts again: the first is shaped anew.
  for (size_t n = 0; n < TextPlacer::kPlacedTextsKept; ++n) {
    placer.PlaceText(std::to_string(n), context.cr);
  }
  const size_t shaped = placer.lines_shaped();
  placer.SetFontName(cases[0].font);
  placer.SetFontSize(cases[0].points);
  placer.SetFontBold(cases[0].bold);
  placer.SetFontItalic(cases[0].italic);
  EXPECT_EQ(Placement(placer.PlaceText(cases[0].text, context.cr)), first[0]);
  EXPECT_EQ(placer.lines_shaped(), shaped + 1);
}

TEST_F(CairoPageTest, PictureLoadErrors) {
  Result<Picture> missing = LoadPicture(Path("NONE.BMP"));
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().number, error_number::kFileNotFound);
  EXPECT_EQ(missing.error().description, "File not found: " + Path("NONE.BMP"));

  WriteFile(Path("TEXT.BMP"), "this is no bitmap");
  Result<Picture> text = LoadPicture(Path("TEXT.BMP"));
  ASSERT_FALSE(text.ok());
  EXPECT_EQ(text.error().number, error_number::kInvalidPicture);
  EXPECT_EQ(text.error().description.rfind("Invalid picture: " + Path("TEXT.BMP") + " (", 0), 0u)
      << text.error().description;

  // Run-length compressed BMPs (compression 1, RLE8) are not read.
  std::string rle = SolidBmp(4, 4, kWhite);
  rle[30] = 1;
  WriteFile(Path("RLE.BMP"), rle);
  Result<Picture> compressed = LoadPicture(Path("RLE.BMP"));
  ASSERT_FALSE(compressed.ok());
  EXPECT_EQ(compressed.error().number, error_number::kInvalidPicture);

  // A bitmap cut short in its pixels is no picture.
  const std::string whole = SolidBmp(40, 40, kWhite);
  WriteFile(Path("CUT.BMP"), whole.substr(0, whole.size() / 2));
  Result<Picture> cut = LoadPicture(Path("CUT.BMP"));
  EXPECT_FALSE(cut.ok());

  // A directory by the name of a logo is no file either.
  Result<Picture> directory = LoadPicture(dir_);
  ASSERT_FALSE(directory.ok());
  EXPECT_EQ(directory.error().number, error_number::kFileNotFound);
}

TEST_F(CairoPageTest, BitmapsAreWholeByTheSizeOfTheirRows) {
  // Whether a BMP holds all its pixels goes by its width, height and bits
  // per pixel; the file size its header states (bytes 2 to 5) may be 0 or
  // more than the writer wrote. SolidBmp(3, 2): 54 bytes of headers, two
  // rows of 9 bytes padded to 12, 78 bytes in all.
  const std::string whole = SolidBmp(3, 2, kWhite);
  ASSERT_EQ(whole.size(), 78u);
  const std::string large = WithWord(SolidBmp(40, 40, kWhite), 2, 0);
  const struct {
    const char* why;
    std::string bytes;
    bool loads;
  } kCases[] = {
      {"whole", whole, true},
      {"stating a file size of 0", WithWord(whole, 2, 0), true},
      {"stating 100 bytes more than it holds", WithWord(whole, 2, 178), true},
      {"without the padding of its last row", whole.substr(0, 75), true},
      {"a byte short of its last row", whole.substr(0, 74), false},
      {"top-down, a row short", WithWord(whole, 22, static_cast<uint32_t>(-2)).substr(0, 66),
       false},
      {"half its rows, stating a file size of 0", large.substr(0, large.size() / 2), false},
      {"5000 x 5000 pixels in 78 bytes", WithWord(WithWord(whole, 18, 5000), 22, 5000), false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    WriteFile(Path("LOGO.BMP"), c.bytes);
    Result<Picture> picture = LoadPicture(Path("LOGO.BMP"));
    if (c.loads) {
      ASSERT_TRUE(picture.ok()) << picture.error().description;
      EXPECT_EQ(picture->pixels()->width, 3);
      EXPECT_EQ(picture->pixels()->height, 2);
    } else {
      ASSERT_FALSE(picture.ok());
      EXPECT_EQ(picture.error().number, error_number::kInvalidPicture);
      EXPECT_EQ(picture.error().description,
                "Invalid picture: " + Path("LOGO.BMP") + " (the bitmap is cut short)");
    }
  }
}

TEST_F(CairoPageTest, ThirtyTwoBitBitmapsAreOpaque) {
  // The fourth byte of a plain (compression 0) 32-bit BMP pixel is reserved:
  // a red and a green pixel print as they are whatever that byte holds, as
  // Windows paints them (stb_image alone would read 0x80 as half alpha).
  for (const uint8_t reserved : {0x00, 0x80, 0xff}) {
    SCOPED_TRACE(static_cast<int>(reserved));
    std::string pixels(8, '\0');  // blue, green, red, reserved
    PutWord(pixels, 0, 0x00ff0000u | uint32_t{reserved} << 24);
    PutWord(pixels, 4, 0x0000ff00u | uint32_t{reserved} << 24);
    const std::string bmp = Bmp(2, 1, 32, {}, pixels);
    WriteFile(Path("LOGO32.BMP"), bmp);
    Result<Picture> picture = LoadPicture(Path("LOGO32.BMP"));
    ASSERT_TRUE(picture.ok()) << picture.error().description;
    const auto* words = reinterpret_cast<const uint32_t*>(picture->pixels()->argb32.data());
    EXPECT_EQ(words[0], 0xffff0000u);
    EXPECT_EQ(words[1], 0xff00ff00u);
  }
}

TEST_F(CairoPageTest, PdfHoldsTheLineAndCaptionsAtTheirPlaces) {
  if (RunCommand("command -v pdftotext").exit_status != 0) GTEST_SKIP() << "poppler-utils missing";
  const std::string line = PrintedLineOf(TenBankBoletos()[2].barcode);
  Boleto boleto(line);
  const std::string pdf = Path("page.pdf");
  ASSERT_TRUE(PrintToFile(boleto, pdf, "BANCO DO BRASIL").ok());
  EXPECT_EQ(ReadFile(pdf).substr(0, 5), "%PDF-");

  testing::CommandOutput info = RunCommand("pdfinfo '" + pdf + "'");
  EXPECT_TRUE(std::regex_search(info.output, std::regex("\nPages: +1\n"))) << info.output;
  EXPECT_NE(info.output.find("595.276 x 841.89 pts (A4)"), std::string::npos) << info.output;

  testing::CommandOutput text = RunCommand("pdftotext -layout '" + pdf + "' -");
  for (const std::string& expected :
       {line, std::string("Recibo do Pagador"), std::string("1.234,56"),
        std::string("JOSÉ DA CONCEIÇÃO"),
        std::string("Autenticação Mecânica / FICHA DE COMPENSAÇÃO"),
        std::string("Instruções ( Texto de responsabilidade do Cedente)"),
        std::string("BANCO DO BRASIL")}) {
    EXPECT_NE(text.output.find(expected), std::string::npos) << expected;
  }

  // Places in points: page x = (surface x + shift) / 20, y = twips / 20; text
  // boxes start at the top of the line, within a couple of points.
  const double shift = (kA4WidthTwips - 96 * 120.0) / 2;
  std::vector<Word> words = PdfWords(pdf);
  struct Place {
    std::string word;
    double x_twips, y_twips;
  };
  const Place places[] = {
      {line.substr(0, 11), 360 + 3600, 8000 + 495},            // nr, first field
      {"Recibo", 360 + 9000, 2160},                            // lblTRecibo
      {"FICHA", 0, 8000 + 5175},                               // lblAutentica (x not checked)
      {"1.234,56", 360 + 8760 + 1815 - 8 * 120, 8000 + 2190},  // right-aligned value
      {"Vencimento", 360 + 9000, 2415},                        // lblTVencimento on the stub
  };
  for (const Place& place : places) {
    SCOPED_TRACE(place.word);
    const Word* found = nullptr;
    for (const Word& w : words) {
      if (w.text == place.word && std::abs(w.y_min - place.y_twips / 20) < 3) found = &w;
    }
    ASSERT_NE(found, nullptr);
    if (place.x_twips > 0) {
      EXPECT_NEAR(found->x_min, (place.x_twips + shift) / 20, 1.5);
    }
  }
  // The digitable line ends inside the printable area (a quarter inch from
  // the right edge of the A4 page, 595.3 points wide).
  const Word* amount_field = FindWord(words, line.substr(40));
  ASSERT_NE(amount_field, nullptr);
  EXPECT_LT(amount_field->x_max, 595.3 - 18);

  // The screen fonts print in their metric-compatible stand-ins.
  testing::CommandOutput fonts = RunCommand("pdffonts '" + pdf + "'");
  EXPECT_NE(fonts.output.find("LiberationSans"), std::string::npos)
      << fonts.output;  // MS Sans Serif, Arial
  EXPECT_NE(fonts.output.find("LiberationSerif"), std::string::npos) << fonts.output;  // MS Serif

  // The receipt stub is above the compensation part.
  const Word* recibo = FindWord(words, "Recibo");
  const Word* ficha = FindWord(words, "FICHA");
  ASSERT_TRUE(recibo && ficha);
  EXPECT_LT(recibo->y_min, ficha->y_min);
}

// Where a bank has no logo its description takes the logo's place and ends
// inside the logo's box, set smaller or cut as a value is: past the box it
// would run over the bank's code beside it.
TEST_F(CairoPageTest, BankDescriptionEndsInsideTheLogoBox) {
  if (RunCommand("command -v pdftotext").exit_status != 0) GTEST_SKIP() << "poppler-utils missing";
  const double shift = (kA4WidthTwips - 96 * 120.0) / 2;
  for (const std::string description :
       {"BANCO EXEMPLO", "BANCO COOPERATIVO SICREDI DE TESTES S.A."}) {
    SCOPED_TRACE(description);
    Boleto boleto(PrintedLineOf(TenBankBoletos()[0].barcode));
    const std::string pdf = Path("bank.pdf");
    ASSERT_TRUE(PrintToFile(boleto, pdf, description).ok());
    const std::vector<Word> words = PdfWords(pdf);
    for (const auto& [form, offset_y] :
         {std::pair{&boleto.receipt_stub, 0}, std::pair{&boleto.compensation_part, 8000}}) {
      const Control* box = form->Find("PictLogoBanco");
      ASSERT_NE(box, nullptr);
      const double left = (360 + box->left + shift) / 20;
      const double right = (360 + box->left + box->width + shift) / 20;
      const double top = (offset_y + box->top) / 20.0, bottom = top + box->height / 20.0;
      std::string printed;
      double end = 0;
      for (const Word& w : words) {
        // The bank's code starts where the box ends.
        if (w.y_min < top || w.y_min > bottom || w.x_min < left - 1 || w.x_min > right - 1) {
          continue;
        }
        printed += (printed.empty() ? "" : " ") + w.text;
        end = std::max(end, w.x_max);
      }
      EXPECT_LE(end, right + 0.25) << form->name() << ": " << printed;
      EXPECT_FALSE(printed.empty()) << form->name();
      EXPECT_EQ(description.rfind(printed, 0), 0u) << printed;
    }
  }
}

// Where a value would cross its label's right edge it is set smaller, down to
// 6 points, and only past that cut: every word of it ends inside the label
// on both parts, and the due date and the amount beside it still read.
TEST_F(CairoPageTest, ValuesEndInsideTheirLabels) {
  if (RunCommand("command -v pdftotext").exit_status != 0) GTEST_SKIP() << "poppler-utils missing";
  const std::string pay_at = "Pagável em qualquer banco. Após vencimento, pagável somente no ";
  struct Row {
    const char* label;
    std::string text;
    bool whole;  // printed whole (smaller), or cut at the edge
  };
  std::vector<Row> rows;
  // The ten demo banks' names (at full size 409's ended 16 mm past the
  // label, 756's 2 mm) and one of 40 characters.
  for (const char* bank :
       {"UNIBANCO UNIÃO DE BANCOS BRASILEIROS S.A", "BANCO BRADESCO S.A.", "BANCO DO BRASIL S.A.",
        "BANCO SANTANDER (BRASIL) S.A.", "BANCO REAL S.A.", "ITAÚ UNIBANCO S.A.",
        "HSBC BANK BRASIL S.A.", "CAIXA ECONÔMICA FEDERAL", "BANCO COOPERATIVO DO BRASIL S.A.",
        "BANESTES S.A.", "BANCO COOPERATIVO SICREDI DE TESTES S.A."}) {
    rows.push_back({"lblLocalPagamento", pay_at + bank, true});
  }
  EXPECT_EQ(CharacterCount(rows.back().text), CharacterCount(pay_at) + 40);
  // Even at 6 points an address of 150 characters does not fit its 6135 twips.
  rows.push_back({"lblCedente1", "RUA DAS FLORES " + std::string(135, 'M'), false});
  const double shift = (kA4WidthTwips - 96 * 120.0) / 2;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Boleto boleto(PrintedLineOf(TenBankBoletos()[0].barcode));
    for (LayoutForm* form : {&boleto.receipt_stub, &boleto.compensation_part}) {
      ASSERT_TRUE(form->SetCaption(row.label, row.text).ok());
      ASSERT_TRUE(form->SetCaption("lblVencimento", "31/12/2025").ok());
      ASSERT_TRUE(form->SetCaption("lblParcela", "01/01").ok());
    }
    const std::string pdf = Path("fit.pdf");
    ASSERT_TRUE(PrintToFile(boleto, pdf).ok());
    const std::vector<Word> words = PdfWords(pdf);
    for (const auto& [form, offset_y] :
         {std::pair{&boleto.receipt_stub, 0}, std::pair{&boleto.compensation_part, 8000}}) {
      const Control* label = form->Find(row.label);
      ASSERT_NE(label, nullptr);
      const double top = (offset_y + label->top) / 20.0;
      const double left = (360 + label->left + shift) / 20;
      const double right = (360 + label->left + label->width + shift) / 20;
      std::string printed;
      double end = 0;
      for (const Word& w : words) {
        if (std::abs(w.y_min - top) > 3 || w.x_min < left - 1 || w.x_min > right) continue;
        printed += (printed.empty() ? "" : " ") + w.text;
        end = std::max(end, w.x_max);
      }
      EXPECT_LE(end, right + 0.25) << form->name();
      if (row.whole) {
        EXPECT_EQ(printed, row.text) << form->name();
      } else {
        EXPECT_EQ(row.text.rfind(printed, 0), 0u) << printed;
        EXPECT_GT(printed.size(), 60u) << printed;
      }
      // The due date, the installment and the amount read as they were
      // filled in, at their places (the amount right-aligned, 120 twips a
      // character).
      for (const auto& [value, field] :
           {std::pair{"01/01", "lblParcela"}, std::pair{"31/12/2025", "lblVencimento"},
            std::pair{"1.234,56", "lblValorDocumento"}}) {
        const Control* box = form->Find(field);
        ASSERT_NE(box, nullptr);
        const double x = box->alignment == Alignment::kRight
                             ? box->left + box->width - 120.0 * CharacterCount(value)
                             : box->left;
        bool found = false;
        for (const Word& w : words) {
          found =
              found || (w.text == value && std::abs(w.y_min - (offset_y + box->top) / 20.0) < 3 &&
                        std::abs(w.x_min - (360 + x + shift) / 20) < 1.5);
        }
        EXPECT_TRUE(found) << value << " on " << form->name();
      }
    }
  }
}

// Every page is a clean PDF, also where the bank logo is painted on both
// parts: qpdf finds neither errors nor warnings (a duplicated /x6 image key
// was shown by CUPS as the printer's state).
TEST_F(CairoPageTest, EveryBanksPagePassesQpdfCheck) {
  if (RunCommand("command -v qpdf").exit_status != 0) GTEST_SKIP() << "qpdf not installed";
  WriteFile(Path("LOGO.BMP"), SolidBmp(110, 32, Rgb{200, 0, 0}));
  WriteFile(Path("LOGOBOLR.BMP"), SolidBmp(700, 115, Rgb{0, 0, 200}));
  Result<Picture> bank_logo = LoadPicture(Path("LOGO.BMP"));
  Result<Picture> company_logo = LoadPicture(Path("LOGOBOLR.BMP"));
  ASSERT_TRUE(bank_logo.ok() && company_logo.ok());
  for (const auto& sample : TenBankBoletos()) {
    SCOPED_TRACE(sample.bank);
    Boleto boleto(PrintedLineOf(sample.barcode));
    ASSERT_TRUE(boleto.receipt_stub.SetPicture("Picture2", *company_logo).ok());
    for (LayoutForm* form : {&boleto.receipt_stub, &boleto.compensation_part}) {
      ASSERT_TRUE(form->SetPicture("PictLogoBanco", *bank_logo).ok());
    }
    const std::string pdf = Path(std::string(sample.bank) + ".pdf");
    ASSERT_TRUE(PrintToFile(boleto, pdf).ok());
    testing::CommandOutput check = RunCommand("qpdf --check '" + pdf + "' 2>&1");
    EXPECT_EQ(check.exit_status, 0) << check.output;
    EXPECT_EQ(check.output.find("WARNING"), std::string::npos) << check.output;
    EXPECT_NE(check.output.find("No syntax or stream encoding errors found"), std::string::npos)
        << check.output;
  }
}

// The CUPS job's name: blanks around each part removed, printable UTF-8 of
// at most 255 bytes, as IPP carries a name (a job with a malformed name is
// refused by the server).
TEST(PrintJobName, NamesTheInstallmentInPrintableUtf8) {
  const struct {
    const char *document, *number, *installment;
    std::string expected;
  } rows[] = {
      {"DM        ", "    1003", "01", "Boleto 01 DM 1 1003/01"},
      {"D\tM",
       "10\x01"
       "03",
       "7 ", "Boleto 01 D M 1 10 03/7"},                               // control characters: blanks
      {"DM\xff", "1003", "01", "Boleto 01 DM\xEF\xBF\xBD 1 1003/01"},  // malformed: U+FFFD
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PrintJobName("01", row.document, "1  ", row.number, row.installment), row.expected);
  }
  // "Boleto 01 " and then two-byte characters: 10 + 122 x 2 bytes, whole
  // characters only.
  std::string long_document;
  for (int i = 0; i < 300; ++i) long_document += "Ç";
  const std::string name = PrintJobName("01", long_document, "1", "1003", "01");
  EXPECT_EQ(name.size(), 254u);
  EXPECT_EQ(CharacterCount(name), 132u);
}

TEST_F(CairoPageTest, FormatFollowsTheFileName) {
  EXPECT_EQ(FormatForDestination(FileDestination("out/boleto.png")), PageFormat::kPng);
  EXPECT_EQ(FormatForDestination(FileDestination("BOLETO.PNG")), PageFormat::kPng);
  EXPECT_EQ(FormatForDestination(FileDestination("boleto.pdf")), PageFormat::kPdf);
  EXPECT_EQ(FormatForDestination(FileDestination("png")), PageFormat::kPdf);
  EXPECT_EQ(FormatForDestination(FileDestination("")), PageFormat::kPdf);  // CUPS takes PDF
}

TEST_F(CairoPageTest, UnwritableFileIsAPrinterFailure) {
  Boleto boleto(PrintedLineOf(TenBankBoletos()[0].barcode));
  const std::string path = Path("missing-folder/boleto.pdf");
  Status printed = PrintToFile(boleto, path);
  ASSERT_FALSE(printed.ok());
  EXPECT_EQ(printed.error().number, error_number::kPrinterFailure);
  EXPECT_EQ(printed.error().description,
            "Cannot write the page to " + path + ": No such file or directory");
}

TEST_F(CairoPageTest, NothingIsWrittenBeforeThePageIsCompleted) {
  const std::string path = Path("boleto.pdf");
  Result<std::unique_ptr<PrintJob>> job = PrintJob::Open(FileDestination(path));
  ASSERT_TRUE(job.ok());
  (*job)->Setup();
  Boleto boleto(PrintedLineOf(TenBankBoletos()[3].barcode));
  ASSERT_TRUE((*job)->Render(boleto.receipt_stub, boleto.compensation_part, "").ok());
  EXPECT_FALSE(std::ifstream(path).good());
  ASSERT_TRUE((*job)->CompletePage().ok());
  EXPECT_TRUE(std::ifstream(path).good());
  // The page is gone: nothing more can be drawn on it.
  Status late = (*job)->surface().PrintText("late");
  ASSERT_FALSE(late.ok());
  EXPECT_EQ(late.error().number, error_number::kPrinterFailure);
  EXPECT_TRUE((*job)->Close().ok());
}

TEST_F(CairoPageTest, ClosedWithoutAPageWritesNothing) {
  const std::string path = Path("never.pdf");
  Result<std::unique_ptr<PrintJob>> job = PrintJob::Open(FileDestination(path));
  ASSERT_TRUE(job.ok());
  (*job)->Setup();
  EXPECT_TRUE((*job)->Close().ok());
  job = Result<std::unique_ptr<PrintJob>>(std::unique_ptr<PrintJob>());
  EXPECT_FALSE(std::ifstream(path).good());
}

TEST_F(CairoPageTest, MalformedLineLeavesNoFile) {
  Boleto boleto("00190.00009 01234.567004 00000.123180 4 9999000000000");  // 53 characters
  const std::string path = Path("bad.pdf");
  Status printed = PrintToFile(boleto, path);
  ASSERT_FALSE(printed.ok());
  EXPECT_EQ(printed.error().number, error_number::kMalformedBarcode);
  EXPECT_FALSE(std::ifstream(path).good());
}

// How often `what` occurs in `text`.
size_t Occurrences(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// A PDF page that keeps layers, whose finished document lands in `document`;
// null where cairo cannot make one.
std::unique_ptr<CairoPageSurface> LayeredPdfPage(std::string& document) {
  Result<std::unique_ptr<CairoPageSurface>> page = PdfPageInto(document);
  if (!page.ok()) return nullptr;
  (*page)->KeepLayers();
  return std::move(page).value();
}

TEST(CairoPageLayers, ALayerIsDrawnOnceAndTheDocumentHoldsItOnce) {
  std::string document;
  const std::unique_ptr<CairoPageSurface> page = LayeredPdfPage(document);
  ASSERT_NE(page, nullptr);
  CairoPageSurface& surface = *page;
  int drawn = 0;
  auto frame = [&drawn](PrinterSurface& layer) {
    ++drawn;
    return layer.DrawLine(0, 0, 1440, 1440, kBlack);
  };
  ASSERT_TRUE(surface.PaintLayer("frame", frame).ok());
  EXPECT_FALSE(surface.PageBlank());
  for (int more = 0; more < 2; ++more) {
    ASSERT_TRUE(surface.NewPage().ok());
    ASSERT_TRUE(surface.PaintLayer("frame", frame).ok());
  }
  ASSERT_TRUE(surface.CompletePage().ok());
  EXPECT_EQ(drawn, 1);
  EXPECT_EQ(Occurrences(document, "/Subtype /Form"), 1u);
  EXPECT_NE(document.find("/Count 3"), std::string::npos);
}

// Keeps a streamed document and the sizes of the pieces it came in.
class KeptStream : public DocumentStream {
 public:
  KeptStream(std::string& document, std::vector<size_t>& pieces, bool& finished)
      : document_(document), pieces_(pieces), finished_(finished) {}
  void Write(const char* data, size_t size) override {
    EXPECT_FALSE(finished_) << "written after Finish";
    document_.append(data, size);
    pieces_.push_back(size);
  }
  Status Finish() override {
    finished_ = true;
    return Status::Ok();
  }

 private:
  std::string& document_;
  std::vector<size_t>& pieces_;
  bool& finished_;
};

TEST(CairoPageStream, CairosSmallPiecesReachTheStreamGatheredIntoLargeOnes) {
  std::string document;
  std::vector<size_t> pieces;
  bool finished = false;
  Result<std::unique_ptr<CairoPageSurface>> page =
      CairoPageSurface::CreateStreamed(std::make_unique<KeptStream>(document, pieces, finished));
  ASSERT_TRUE(page.ok());
  CairoPageSurface& surface = **page;
  constexpr int kPages = 400;  // some 200 KB: a few pieces and a last, smaller one
  for (int n = 0; n < kPages; ++n) {
    if (n > 0) {
      ASSERT_TRUE(surface.NewPage().ok());
    }
    ASSERT_TRUE(surface.DrawLine(0, 0, 1440, 1440, kBlack).ok());
    for (int line = 0; line < 10; ++line) {
      ASSERT_TRUE(surface
                      .PrintText("Page " + std::to_string(n) + ", line " + std::to_string(line) +
                                 ": JOSÉ DA CONCEIÇÃO")
                      .ok());
    }
  }
  ASSERT_TRUE(surface.CompletePage().ok());
  EXPECT_TRUE(finished);
  EXPECT_EQ(document.rfind("%PDF-", 0), 0u);
  EXPECT_NE(document.find("/Count " + std::to_string(kPages)), std::string::npos);
  EXPECT_EQ(document.substr(document.size() - 6), "%%EOF\n");
  ASSERT_GE(pieces.size(), 2u) << document.size() << " bytes";
  ASSERT_LE(pieces.size(), document.size() / (64 * 1024) + 1);
  // Each piece but the last is at least 64 KB.
  for (size_t i = 0; i + 1 < pieces.size(); ++i) {
    EXPECT_GE(pieces[i], 64u * 1024) << i;
  }
}

TEST(CairoPageLayers, AGroupIsAFormForEachUseOnAPageThatLaterPagesNameAgain) {
  std::string document;
  Result<std::unique_ptr<CairoPageSurface>> page = PdfPageInto(document);
  ASSERT_TRUE(page.ok());
  CairoPageSurface& surface = **page;
  const std::vector<PrinterSurface::Rectangle> bars = {
      {0, 0, 15, 750, kBlack}, {15, 0, 30, 750, kWhite}, {30, 0, 75, 750, kBlack}};
  std::vector<PrinterSurface::Rectangle> elsewhere = bars;  // the same shapes further right
  for (PrinterSurface::Rectangle& r : elsewhere) r.x1 += 1000, r.x2 += 1000;
  for (int n = 0; n < 3; ++n) {
    if (n > 0) {
      ASSERT_TRUE(surface.NewPage().ok());
    }
    ASSERT_TRUE(surface.FillRectangleGroup(bars).ok());
    ASSERT_TRUE(surface.FillRectangleGroup(elsewhere).ok());
  }
  ASSERT_TRUE(surface.CompletePage().ok());
  EXPECT_EQ(Occurrences(document, "/Subtype /Form"), 2u);
  EXPECT_NE(document.find("/Count 3"), std::string::npos);
}

// The operators of a PDF's forms: the words of each "/Subtype /Form"
// object's content stream, inflated.
std::vector<std::string> FormOperators(const std::string& pdf) {
  std::vector<std::string> words;
  for (size_t at = pdf.find("/Subtype /Form"); at != std::string::npos;
       at = pdf.find("/Subtype /Form", at + 1)) {
    const size_t start = pdf.find("stream\n", at) + 7;
    const size_t end = pdf.find("endstream", start);
    std::string inflated(1 << 20, '\0');
    uLongf size = inflated.size();
    if (uncompress(reinterpret_cast<Bytef*>(inflated.data()), &size,
                   reinterpret_cast<const Bytef*>(pdf.data() + start), end - start) != Z_OK) {
      ADD_FAILURE() << "a form's stream does not inflate";
      continue;
    }
    std::istringstream stream(inflated.substr(0, size));
    for (std::string word; stream >> word;) words.push_back(word);
  }
  return words;
}

TEST(CairoPageLayers, ALayersLinesAreStrokedTogetherUntilATextComesBetween) {
  std::string document;
  const std::unique_ptr<CairoPageSurface> page = LayeredPdfPage(document);
  ASSERT_NE(page, nullptr);
  CairoPageSurface& surface = *page;
  auto frame = [](PrinterSurface& layer) -> Status {
    for (int y : {0, 1440, 2880}) BOLETO_RETURN_IF_ERROR(layer.DrawLine(0, y, 1440, y, kBlack));
    BOLETO_RETURN_IF_ERROR(layer.PrintText("Recibo"));
    for (int x : {0, 1440}) BOLETO_RETURN_IF_ERROR(layer.DrawLine(x, 0, x, 2880, kBlack));
    return layer.DrawLine(0, 0, 1440, 2880, Rgb{255, 0, 0});  // another colour
  };
  ASSERT_TRUE(surface.PaintLayer("frame", frame).ok());
  ASSERT_TRUE(surface.CompletePage().ok());
  const std::vector<std::string> words = FormOperators(document);
  std::vector<std::string> drawn;  // strokes and texts, in their order
  for (const std::string& word : words) {
    if (word == "S" || word == "m" || word.ends_with("Tj")) drawn.push_back(word);
  }
  EXPECT_EQ(drawn,
            (std::vector<std::string>{"m", "m", "m", "S", "(Recibo)Tj", "m", "m", "S", "m", "S"}));
}

TEST(CairoPageLayers, ANewPageNothingIsDrawnOnIsNoPageOfTheDocument) {
  std::string document;
  Result<std::unique_ptr<CairoPageSurface>> page = PdfPageInto(document);
  ASSERT_TRUE(page.ok());
  CairoPageSurface& surface = **page;
  ASSERT_TRUE(surface.DrawLine(0, 0, 1440, 0, kBlack).ok());
  ASSERT_TRUE(surface.NewPage().ok());
  EXPECT_TRUE(surface.PageBlank());
  ASSERT_TRUE(surface.DrawLine(0, 0, 1440, 0, kBlack).ok());
  ASSERT_TRUE(surface.NewPage().ok());
  ASSERT_TRUE(surface.NewPage().ok());
  ASSERT_TRUE(surface.CompletePage().ok());
  EXPECT_NE(document.find("/Count 2"), std::string::npos);
}

}  // namespace
}  // namespace boleto
