#include "print/barcode_drawing.h"

#include <gtest/gtest.h>

#include "bankrules/barcode.h"
#include "bankrules/interleaved_2of5.h"
#include "print/recording_surface.h"
#include "print_test_helpers.h"

namespace boleto {
namespace {

using testing::PrintedLineOf;
using testing::TenBankBoletos;
using Kind = RecordedOperation::Kind;

int TotalWidth(const std::vector<BarElement>& elements) {
  int width = 0;
  for (const BarElement& e : elements) width += e.width;
  return width;
}

TEST(Interleaved2of5, PairInterleavesBarsOfFirstDigitWithSpacesOfSecond) {
  // "12": bars from 1 = 10001 (wide, narrow, narrow, narrow, wide), spaces
  // from 2 = 01001 (narrow, wide, narrow, narrow, wide).
  Result<std::vector<BarElement>> elements = Interleaved2of5Elements("12");
  ASSERT_TRUE(elements.ok());
  const std::vector<BarElement> expected = {
      kNarrowBar,   kNarrowSpace, kNarrowBar,   kNarrowSpace,              // start
      kWideBar,     kNarrowSpace, kNarrowBar,   kWideSpace,   kNarrowBar,  // 1/2 pairs
      kNarrowSpace, kNarrowBar,   kNarrowSpace, kWideBar,     kWideSpace,  //
      kWideBar,     kNarrowSpace, kNarrowBar,   kNarrowSpace,              // stop
  };
  EXPECT_EQ(*elements, expected);
}

TEST(Interleaved2of5, EveryDigitHasTwoWideElements) {
  // Each digit pattern has exactly two wide elements: a pair is 18 modules.
  for (int a = 0; a <= 9; ++a) {
    for (int b = 0; b <= 9; ++b) {
      std::string pair = {static_cast<char>('0' + a), static_cast<char>('0' + b)};
      Result<std::vector<BarElement>> elements = Interleaved2of5Elements(pair);
      ASSERT_TRUE(elements.ok());
      EXPECT_EQ(TotalWidth(*elements), 4 + 18 + 6) << pair;
    }
  }
}

TEST(Interleaved2of5, FortyFourDigitsMake228ElementsOf406Modules) {
  Result<std::vector<BarElement>> elements = Interleaved2of5Elements(TenBankBoletos()[0].barcode);
  ASSERT_TRUE(elements.ok());
  EXPECT_EQ(elements->size(), 4u + 220u + 4u);
  EXPECT_EQ(TotalWidth(*elements), 406);
  // Bars and spaces alternate, starting with a bar.
  for (size_t i = 0; i < elements->size(); ++i) {
    EXPECT_EQ((*elements)[i].kind, i % 2 == 0 ? BarElement::Kind::kBar : BarElement::Kind::kSpace)
        << i;
  }
}

TEST(Interleaved2of5, RefusesWhatIsNoEvenRunOfDigits) {
  struct Row {
    const char* digits;
    const char* why;
  };
  for (const Row& row :
       {Row{"123", "odd count"}, Row{"12a4", "letter"}, Row{"12 4", "blank"}, Row{"1-", "dash"}}) {
    Result<std::vector<BarElement>> elements = Interleaved2of5Elements(row.digits);
    ASSERT_FALSE(elements.ok()) << row.why;
    EXPECT_EQ(elements.error().number, error_number::kMalformedBarcode) << row.why;
  }
}

TEST(PrintedLine, DrawingAndBankRulesAgreeOnTheLineOfEachBank) {
  // The lines are made from the barcodes by an independent computation of
  // the field check digits; the bank rules compose the same line from the
  // barcode's parts and cut the same barcode back out of it.
  for (const auto& sample : TenBankBoletos()) {
    const std::string line = PrintedLineOf(sample.barcode);
    ASSERT_EQ(line.size(), 54u) << sample.bank;
    EXPECT_TRUE(CheckPrintedLineLayout(line).ok()) << sample.bank;
    Result<DigitableLine> composed = ComposeDigitableLine(
        sample.barcode.substr(0, 4), sample.barcode.substr(5, 14), sample.barcode.substr(19));
    ASSERT_TRUE(composed.ok()) << sample.bank;
    EXPECT_EQ(composed->printed, line) << sample.bank;
    EXPECT_EQ(composed->barcode, sample.barcode) << sample.bank;
    Result<std::string> rebuilt = RebuildBarcode(line);
    ASSERT_TRUE(rebuilt.ok()) << sample.bank;
    EXPECT_EQ(*rebuilt, sample.barcode) << sample.bank;
  }
}

TEST(PrintedLine, LayoutErrors) {
  const std::string good = "00190.00009 01234.567004 00000.123180 4 99990000000001";
  ASSERT_TRUE(CheckPrintedLineLayout(good).ok());
  struct Row {
    std::string line;
    std::string description;
  };
  const Row rows[] = {
      {good.substr(0, 53),
       "The digitable line \"" + good.substr(0, 53) + "\" is not 54 characters long"},
      {good + "0", "The digitable line \"" + good + "0\" is not 54 characters long"},
      {"", "The digitable line \"\" is not 54 characters long"},
      {good.substr(0, 5) + "0" + good.substr(6),
       "The digitable line \"00190000009 01234.567004 00000.123180 4 99990000000001\" has no '.' "
       "at position 6"},
      {good.substr(0, 39) + "." + good.substr(40),
       "The digitable line \"00190.00009 01234.567004 00000.123180 4.99990000000001\" has no ' ' "
       "at position 40"},
  };
  for (const Row& row : rows) {
    Status checked = CheckPrintedLineLayout(row.line);
    ASSERT_FALSE(checked.ok()) << row.line;
    EXPECT_EQ(checked.error().number, error_number::kMalformedBarcode);
    EXPECT_EQ(checked.error().description, row.description);
  }
}

TEST(DrawBarcode, ElementsFromTheOriginOfTheCompensationPart) {
  // The renderer leaves the position at the barcode area's corner, page
  // (720, 13400) for the compensation part.
  RecordingSurface surface;
  surface.SetCurrentX(720);
  surface.SetCurrentY(13400);
  const std::string barcode = TenBankBoletos()[2].barcode;
  ASSERT_TRUE(DrawBarcode(surface, PrintedLineOf(barcode)).ok());

  std::vector<RecordedOperation> rectangles = surface.OperationsOf({Kind::kRectangle});
  ASSERT_EQ(rectangles.size(), 228u);  // 4 start + 220 data + 4 stop
  // First element: narrow bar at module 10, 150 to 900 twips below the origin.
  EXPECT_EQ(rectangles.front().ToString(), "rectangle (870, 13550)-(885, 14300) #000000");
  // Then a narrow space, painted white.
  EXPECT_EQ(rectangles[1].ToString(), "rectangle (885, 13550)-(900, 14300) #ffffff");
  // The stop pattern: wide bar, narrow space, narrow bar, narrow space, from
  // module 410 to module 416 (page x 6960: 406 modules after 870).
  EXPECT_EQ(rectangles[224].ToString(), "rectangle (6870, 13550)-(6915, 14300) #000000");
  EXPECT_EQ(rectangles[225].ToString(), "rectangle (6915, 13550)-(6930, 14300) #ffffff");
  EXPECT_EQ(rectangles[226].ToString(), "rectangle (6930, 13550)-(6945, 14300) #000000");
  EXPECT_EQ(rectangles.back().ToString(), "rectangle (6945, 13550)-(6960, 14300) #ffffff");
  // The elements touch: each starts where the previous one ended.
  for (size_t i = 1; i < rectangles.size(); ++i) {
    EXPECT_EQ(rectangles[i].x1, rectangles[i - 1].x2) << i;
  }
  // The drawing does not move the current position.
  EXPECT_EQ(surface.CurrentX(), 720);
  EXPECT_EQ(surface.CurrentY(), 13400);
}

TEST(DrawBarcode, FirstDataElementsFollowTheBankCode) {
  // Barcode "00190..." starts with the pair "00": bars 00110, spaces 00110.
  RecordingSurface surface;
  const std::string barcode = TenBankBoletos()[2].barcode;
  ASSERT_EQ(barcode.substr(0, 2), "00");
  ASSERT_TRUE(DrawBarcode(surface, PrintedLineOf(barcode)).ok());
  std::vector<RecordedOperation> rectangles = surface.OperationsOf({Kind::kRectangle});
  const double widths[] = {1, 1, 1, 1, 3, 3, 3, 3, 1, 1};  // in modules
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(rectangles[4 + i].x2 - rectangles[4 + i].x1, widths[i] * 15) << i;
  }
}

TEST(DrawBarcode, OriginRoundedHalfToEven) {
  RecordingSurface surface;
  surface.SetCurrentX(720.5);
  surface.SetCurrentY(13400.25);  // kept as it is
  ASSERT_TRUE(DrawBarcode(surface, PrintedLineOf(TenBankBoletos()[0].barcode)).ok());
  std::vector<RecordedOperation> rectangles = surface.OperationsOf({Kind::kRectangle});
  EXPECT_EQ(rectangles.front().x1, 870);
  EXPECT_EQ(rectangles.front().y1, 13550.25);
}

TEST(DrawBarcode, LinesThatAreNoBarcodeDrawNothing) {
  const std::string good = PrintedLineOf(TenBankBoletos()[0].barcode);
  std::string letter = good;
  letter[45] = 'O';  // a letter O among the amount's digits
  std::string blanks = good;
  for (char& c : blanks) {
    if (c != '.') c = ' ';  // separators in place, no digits
  }
  std::string missing_dot = good;
  missing_dot[5] = '0';
  for (const std::string& line : {letter, blanks, missing_dot, good.substr(0, 53), std::string()}) {
    RecordingSurface surface;
    Status drawn = DrawBarcode(surface, line);
    ASSERT_FALSE(drawn.ok()) << line;
    EXPECT_EQ(drawn.error().number, error_number::kMalformedBarcode) << line;
    EXPECT_TRUE(surface.OperationsOf({Kind::kRectangle}).empty()) << line;
  }
}

TEST(DrawBarElement, AdvancesByTheElementWidth) {
  RecordingSurface surface;
  BarCursor cursor;
  cursor.origin_x = 100;
  cursor.origin_y = 200;
  ASSERT_TRUE(DrawBarElement(surface, kWideSpace, cursor).ok());
  EXPECT_EQ(cursor.bar_position_x, 13);
  ASSERT_TRUE(DrawBarElement(surface, kNarrowBar, cursor).ok());
  EXPECT_EQ(cursor.bar_position_x, 14);
  std::vector<RecordedOperation> rectangles = surface.OperationsOf({Kind::kRectangle});
  EXPECT_EQ(rectangles[0].ToString(), "rectangle (250, 350)-(295, 1100) #ffffff");
  EXPECT_EQ(rectangles[1].ToString(), "rectangle (295, 350)-(310, 1100) #000000");
}

}  // namespace
}  // namespace boleto
