#include "print/renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "print/print_job.h"
#include "print/recording_surface.h"
#include "print_test_helpers.h"

namespace boleto {
namespace {

using Kind = RecordedOperation::Kind;
using testing::PrintedLineOf;
using testing::TenBankBoletos;

std::vector<std::string> Strings(const std::vector<RecordedOperation>& ops) {
  std::vector<std::string> out;
  for (const RecordedOperation& op : ops) out.push_back(op.ToString());
  return out;
}

// A small form with one control of each kind and case.
constexpr ControlTemplate kSmallControls[] = {
    {ControlKind::kLabel, "lblTitle", kNoIndex, 240, 100, 1455, 150, "Beneficiário",
     FontSpec{"Arial", 6.75, false}, Alignment::kLeft},
    {ControlKind::kLabel, "lblAmount", kNoIndex, 8760, 300, 1815, 165, "Valor Doc",
     FontSpec{"MS Sans Serif", 8.25, true}, Alignment::kRight},
    {ControlKind::kLine, "Line2", kNoIndex, 8040, 6000, 8040, 2400, "", kDefaultFont,
     Alignment::kLeft},
    {ControlKind::kPictureBox, "PictLogoBanco", kNoIndex, 120, 1850, 1695, 500, "", kDefaultFont,
     Alignment::kLeft},
};
constexpr FormTemplate kSmallStub{kReceiptStubForm, 0, 0, 10000, 7000, kSmallControls};
constexpr FormTemplate kSmallOther{"frmOther", 0, 0, 10000, 7000, kSmallControls};

TEST(RenderLayoutForm, SmallFormOperationByOperation) {
  RecordingSurface surface;
  LayoutForm form(kSmallStub);
  ASSERT_TRUE(form.SetCaption("lblAmount", "1.234,56").ok());
  ASSERT_TRUE(RenderLayoutForm(surface, form, 8000, 360, "BANCO EXEMPLO S.A.").ok());
  const std::vector<std::string> expected = {
      // Label: y first, then x, then font name and size; text at its top.
      "current-y 8100",
      "current-x 600",
      "font-name Arial",
      "font-size 6.75",
      "text (600, 8100) Arial 6.75 \"Beneficiário\"",
      // Right-aligned: 8760 + 1815 - 8 x 120 = 9615, plus 360; never bold.
      "current-y 8300",
      "current-x 9975",
      "font-name MS Sans Serif",
      "font-size 8.25",
      "text (9975, 8300) MS Sans Serif 8.25 \"1.234,56\"",
      // Line from its first stored point to its second, upwards.
      "current-x 8400",
      "current-y 14000",
      "line (8400, 14000)-(8400, 10400) #000000",
      // Empty logo box: the bank description at the box's vertical middle,
      // set smaller to end inside the box.
      "current-x 480",
      "current-y 10100",
      "font-name MS Sans Serif",
      "font-size 8.25",
      "font-size 7.75",
      "text (480, 10100) MS Sans Serif 7.75 \"BANCO EXEMPLO S.A.\"",
  };
  // The text operations also move the position; those moves are not listed.
  std::vector<std::string> got;
  for (const RecordedOperation& op : surface.operations()) got.push_back(op.ToString());
  EXPECT_EQ(got, expected);
}

TEST(RenderLayoutForm, EmptyLogoBoxOfAnotherFormPrintsNothing) {
  RecordingSurface surface;
  LayoutForm form(kSmallOther);
  ASSERT_TRUE(RenderLayoutForm(surface, form, 0, 0, "BANCO").ok());
  std::vector<RecordedOperation> texts = surface.OperationsOf({Kind::kText});
  ASSERT_EQ(texts.size(), 2u);  // the two labels only
  EXPECT_EQ(texts[1].text, "Valor Doc");
}

TEST(RenderLabel, RightAlignmentCountsCharactersNotBytes) {
  struct Row {
    std::string text;
    double x;  // offset 360 + left 8760 + width 1815 - 120 x characters
  };
  const Row rows[] = {
      {"1.234,56", 9975},                          // 8 characters
      {"Acréscimo", 9855},                         // 9 characters, 10 bytes
      {"", 10935},                                 // nothing: the right edge
      {std::string(20, '9'), 10935 - 20 * 120.0},  // wider than the label: not clamped
  };
  const ControlTemplate& row_template = kSmallControls[1];
  LayoutForm form(kSmallStub);
  const Control* label = form.Find(row_template.name);
  ASSERT_NE(label, nullptr);
  for (const Row& row : rows) {
    RecordingSurface surface;
    ASSERT_TRUE(RenderLabel(surface, *label, row.text, PageOffset{360, 0}).ok());
    std::vector<RecordedOperation> texts = surface.OperationsOf({Kind::kText});
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].x1, row.x) << row.text;
    EXPECT_EQ(texts[0].text, row.text);
  }
}

TEST(RenderLabel, EmptyCaptionStillMovesThePosition) {
  RecordingSurface surface;
  LayoutForm form(kSmallStub);
  ASSERT_TRUE(RenderLabel(surface, *form.Find("lblTitle"), "", PageOffset{0, 0}).ok());
  // Fixed metrics: a line of Arial 6.75 is 1.2 x 6.75 x 20 = 162 twips.
  EXPECT_EQ(surface.CurrentY(), 100 + 162);
}

TEST(RenderPictureBox, LoadedPictureAtNaturalSize) {
  auto pixels = std::make_shared<Picture::Pixels>();
  pixels->width = 110;
  pixels->height = 32;
  pixels->stride = 440;
  pixels->argb32.assign(440 * 32, 0xff);
  LayoutForm form(kSmallStub);
  ASSERT_TRUE(form.SetPicture("PictLogoBanco", Picture(pixels)).ok());
  RecordingSurface surface;
  ASSERT_TRUE(RenderLayoutForm(surface, form, 0, 360, "BANCO").ok());
  std::vector<RecordedOperation> pictures = surface.OperationsOf({Kind::kPicture});
  ASSERT_EQ(pictures.size(), 1u);
  // 110 x 32 pixels at 96 per inch: 1650 x 480 twips, not the box's size.
  EXPECT_EQ(pictures[0].ToString(), "picture (480, 1850) 110x32");
  EXPECT_EQ(pictures[0].x2, 480 + 1650);
  EXPECT_EQ(pictures[0].y2, 1850 + 480);
  EXPECT_EQ(surface.OperationsOf({Kind::kText}).size(), 2u);  // no description
}

struct FilledBoleto {
  LayoutForm receipt_stub{ReceiptStubTemplate()};
  LayoutForm compensation_part{CompensationPartTemplate()};
};

TEST(RenderBoletoPage, BothFormsAtTheirOffsets) {
  FilledBoleto boleto;
  const std::string line = PrintedLineOf(TenBankBoletos()[2].barcode);
  ASSERT_TRUE(boleto.compensation_part.SetCaption("nr", line).ok());
  ASSERT_TRUE(boleto.compensation_part.SetCaption("lblValorDocumento", "1.234,56").ok());
  RecordingSurface surface;
  PrinterSetup(surface);
  ASSERT_TRUE(RenderBoletoPage(surface, boleto.receipt_stub, boleto.compensation_part,
                               "BANCO DO BRASIL S.A.")
                  .ok());

  // 63 labels on each form, and the bank description in the three empty
  // picture boxes (both logo boxes and the company strip).
  EXPECT_EQ(surface.OperationsOf({Kind::kText}).size(), 63u + 63u + 3u);
  EXPECT_EQ(surface.OperationsOf({Kind::kLine}).size(), 25u + 27u);
  EXPECT_EQ(surface.OperationsOf({Kind::kRectangle}).size(), 228u);

  std::vector<std::string> lines = Strings(surface.OperationsOf({Kind::kLine}));
  // Line2 of the stub, upwards; Line3(3) of the compensation part lands in
  // the stub's area; Line3(24) separates the parts.
  EXPECT_NE(std::find(lines.begin(), lines.end(), "line (8400, 6000)-(8400, 2400) #000000"),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "line (360, 320)-(366, 320) #000000"),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "line (480, 8000)-(11040, 8000) #000000"),
            lines.end());

  std::vector<std::string> texts = Strings(surface.OperationsOf({Kind::kText}));
  auto has = [&](const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  };
  // The bank description where no logo is loaded: the stub's logo box and
  // the compensation part's, in the boxes' default font set smaller to end
  // inside the boxes (20 characters of 0.6 em at 7 points: 1680 of 1695
  // twips).
  EXPECT_TRUE(has("text (480, 2100) MS Sans Serif 7 \"BANCO DO BRASIL S.A.\""));
  EXPECT_TRUE(has("text (480, 8485) MS Sans Serif 7 \"BANCO DO BRASIL S.A.\""));
  EXPECT_TRUE(has("text (480, 907.5) MS Sans Serif 8.25 \"BANCO DO BRASIL S.A.\""));
  // The amount example: 8 characters right-aligned in lblValorDocumento.
  EXPECT_TRUE(has("text (9975, 10190) MS Sans Serif 8.25 \"1.234,56\""));
  // The digitable line, never bold although the template's font is. In
  // these metrics (0.6 em a character) its 54 characters at 12 points are
  // 7776 twips, wider than the label's 7095: it is set in 10.75 points.
  EXPECT_TRUE(has("text (3960, 8495) MS Sans Serif 10.75 \"" + line + "\""));
  // Titles print as they stand.
  EXPECT_TRUE(has("text (9360, 2160) MS Sans Serif 8.25 \"Recibo do Pagador\""));
  EXPECT_TRUE(
      has("text (7635, 13175) Arial 6.75 \"Autenticação Mecânica / FICHA DE COMPENSAÇÃO\""));

  std::vector<RecordedOperation> rectangles = surface.OperationsOf({Kind::kRectangle});
  EXPECT_EQ(rectangles.front().ToString(), "rectangle (870, 13550)-(885, 14300) #000000");
  EXPECT_EQ(rectangles.back().x2, 6960);
  EXPECT_EQ(rectangles.back().y2, 14300);
}

TEST(RenderBoletoPage, BarcodeDrawnBeforeTheCompensationLabels) {
  FilledBoleto boleto;
  ASSERT_TRUE(
      boleto.compensation_part.SetCaption("nr", PrintedLineOf(TenBankBoletos()[5].barcode)).ok());
  RecordingSurface surface;
  PrinterSetup(surface);
  ASSERT_TRUE(RenderBoletoPage(surface, boleto.receipt_stub, boleto.compensation_part, "").ok());
  const auto& ops = surface.operations();
  size_t first_rectangle = ops.size();
  for (size_t i = 0; i < ops.size() && first_rectangle == ops.size(); ++i) {
    if (ops[i].kind == Kind::kRectangle) first_rectangle = i;
  }
  ASSERT_LT(first_rectangle, ops.size());
  // Before the bars, of the compensation part only its logo box printed.
  std::vector<std::string> texts_before;
  for (size_t i = 0; i < first_rectangle; ++i) {
    if (ops[i].kind == Kind::kText && ops[i].y1 >= 8000) texts_before.push_back(ops[i].ToString());
  }
  EXPECT_EQ(texts_before, std::vector<std::string>{"text (480, 8485) MS Sans Serif 8.25 \"\""});
  // The barcode area sets Courier New 10, regular, before its bars.
  EXPECT_EQ(ops[first_rectangle].font_name, "Courier New");
  EXPECT_EQ(ops[first_rectangle].font_size, 10);
  EXPECT_FALSE(ops[first_rectangle].font_bold);
  // After the bars, lblCedente is the first label printed.
  for (size_t i = first_rectangle; i < ops.size(); ++i) {
    if (ops[i].kind == Kind::kText) {
      EXPECT_EQ(ops[i].ToString(), "text (600, 9327) MS Sans Serif 8.25 \"Cedente\"");
      break;
    }
  }
}

// A recording surface that keeps layers: each layer's operations are
// recorded the first time its key comes, and only then.
class LayeredRecordingSurface : public RecordingSurface {
 public:
  bool KeepsLayers() const override { return true; }
  Status PaintLayer(const std::string& key,
                    const std::function<Status(PrinterSurface&)>& draw) override {
    if (!keys_.insert(key).second) return Status::Ok();
    return draw(*this);
  }
  size_t layers() const { return keys_.size(); }

 private:
  std::set<std::string> keys_;
};

std::vector<std::string> Sorted(std::vector<std::string> strings) {
  std::sort(strings.begin(), strings.end());
  return strings;
}

TEST(RenderBoletoPage, SharedPartsDrawnOnceWhereTheSurfaceKeepsLayers) {
  FilledBoleto first;
  ASSERT_TRUE(
      first.compensation_part.SetCaption("nr", PrintedLineOf(TenBankBoletos()[2].barcode)).ok());
  RecordingSurface plain;
  ASSERT_TRUE(RenderBoletoPage(plain, first.receipt_stub, first.compensation_part, "BANCO").ok());
  LayeredRecordingSurface layered;
  ASSERT_TRUE(RenderBoletoPage(layered, first.receipt_stub, first.compensation_part, "BANCO").ok());
  // The first page draws the same, in another order.
  const auto drawn = {Kind::kText, Kind::kLine, Kind::kRectangle, Kind::kPicture};
  EXPECT_EQ(Sorted(Strings(layered.OperationsOf(drawn))),
            Sorted(Strings(plain.OperationsOf(drawn))));

  // Another boleto with the same titles draws its values, logos and bars only.
  FilledBoleto second;
  ASSERT_TRUE(
      second.compensation_part.SetCaption("nr", PrintedLineOf(TenBankBoletos()[5].barcode)).ok());
  const size_t before = layered.operations().size();
  ASSERT_TRUE(
      RenderBoletoPage(layered, second.receipt_stub, second.compensation_part, "BANCO").ok());
  size_t lines = 0, titles = 0;
  for (size_t i = before; i < layered.operations().size(); ++i) {
    const RecordedOperation& op = layered.operations()[i];
    if (op.kind == Kind::kLine) ++lines;
    if (op.kind == Kind::kText && op.text == "Recibo do Pagador") ++titles;
  }
  EXPECT_EQ(lines, 0u);
  EXPECT_EQ(titles, 0u);
  EXPECT_EQ(layered.layers(), 1u);

  // A title of another caption makes a layer of its own.
  ASSERT_TRUE(second.receipt_stub.SetCaption("lblTRecibo", "Recibo").ok());
  ASSERT_TRUE(
      RenderBoletoPage(layered, second.receipt_stub, second.compensation_part, "BANCO").ok());
  EXPECT_EQ(layered.layers(), 2u);
  const std::vector<std::string> texts = Strings(layered.OperationsOf({Kind::kText}));
  EXPECT_NE(
      std::find(texts.begin(), texts.end(), "text (9360, 2160) MS Sans Serif 8.25 \"Recibo\""),
      texts.end());
}

TEST(RenderBoletoPage, MalformedDigitableLineDrawsNothing) {
  FilledBoleto boleto;  // "nr" keeps its placeholder caption
  RecordingSurface surface;
  Status drawn = RenderBoletoPage(surface, boleto.receipt_stub, boleto.compensation_part, "");
  ASSERT_FALSE(drawn.ok());
  EXPECT_EQ(drawn.error().number, error_number::kMalformedBarcode);
  EXPECT_TRUE(surface.operations().empty());
}

TEST(PrinterSetup, CourierOriginCentresNinetySixCharacters) {
  // Fixed metrics: "W" in Courier New 10 is 0.6 x 200 = 120 twips wide, "H"
  // 1.2 x 200 = 240 high; A4 is 11905.51 twips wide, so the origin is
  // -(11905.51 - 96 x 120) / 2 = -192.756.
  RecordingSurface surface;
  PrinterSetup(surface);
  const std::vector<std::string> expected = {
      "font-name Courier New", "font-size 10", "font-bold off", "font-italic off",
      "scale-left -192.756",   "current-x 0",  "current-y 240",
  };
  EXPECT_EQ(Strings(surface.operations()), expected);
}

TEST(PrintJob, CompletesThenSetsUpAgainAndCloses) {
  auto recording = std::make_unique<RecordingSurface>();
  RecordingSurface* surface = recording.get();
  PrintJob job(std::move(recording));
  job.Setup();
  FilledBoleto boleto;
  ASSERT_TRUE(
      boleto.compensation_part.SetCaption("nr", PrintedLineOf(TenBankBoletos()[1].barcode)).ok());
  ASSERT_TRUE(job.Render(boleto.receipt_stub, boleto.compensation_part, "BRADESCO").ok());
  ASSERT_TRUE(job.CompletePage().ok());
  ASSERT_TRUE(job.Close().ok());
  std::vector<std::string> tail = Strings(surface->operations());
  tail.erase(tail.begin(), tail.end() - 9);
  const std::vector<std::string> expected = {
      "complete-page", "font-name Courier New", "font-size 10",
      "font-bold off", "font-italic off",       "scale-left -192.756",
      "current-x 0",   "current-y 240",         "end-job",
  };
  EXPECT_EQ(tail, expected);
}

}  // namespace
}  // namespace boleto
