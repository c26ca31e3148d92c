#include "print/layout_form.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace boleto {
namespace {

const std::string kSixtyX(60, 'X');

TEST(LayoutTemplates, HeaderValuesAndControlCounts) {
  struct Row {
    const FormTemplate& form;
    std::string_view name;
    int left, top, width, height;
    size_t controls;
  };
  // Client area and control count of each designed form.
  const Row rows[] = {
      {ReceiptStubTemplate(), "frmTabLayBolRec", 450, 0, 10905, 7080, 90},
      {CompensationPartTemplate(), "frmTabLayBolBol", 60, 60, 10890, 6960, 92},
      {TemporaryFormTemplate(), "frmTemporaria", 0, 0, 3405, 495, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.form.name, row.name);
    EXPECT_EQ(row.form.client_left, row.left);
    EXPECT_EQ(row.form.client_top, row.top);
    EXPECT_EQ(row.form.client_width, row.width);
    EXPECT_EQ(row.form.client_height, row.height);
    EXPECT_EQ(row.form.controls.size(), row.controls);
  }
}

TEST(LayoutTemplates, KindsPerForm) {
  // Counted on the designed forms: the stub has 2 picture boxes, 25 lines
  // (Line2 and 24 of Line3) and 63 labels; the compensation part 2 picture
  // boxes, 27 lines (Line2 and 26 of Line3) and 63 labels.
  struct Row {
    const FormTemplate& form;
    int pictures, lines, labels;
  };
  for (const Row& row :
       {Row{ReceiptStubTemplate(), 2, 25, 63}, Row{CompensationPartTemplate(), 2, 27, 63}}) {
    int pictures = 0, lines = 0, labels = 0;
    for (const ControlTemplate& c : row.form.controls) {
      pictures += c.kind == ControlKind::kPictureBox;
      lines += c.kind == ControlKind::kLine;
      labels += c.kind == ControlKind::kLabel;
    }
    SCOPED_TRACE(row.form.name);
    EXPECT_EQ(pictures, row.pictures);
    EXPECT_EQ(lines, row.lines);
    EXPECT_EQ(labels, row.labels);
  }
}

struct SampleRow {
  const FormTemplate& form;
  size_t position;  // 1-based drawing order
  ControlKind kind;
  std::string_view name;
  int index;
  int a, b, c, d;  // left/top/width/height or X1/Y1/X2/Y2
  std::string caption;
  std::string_view font_name;
  double font_size;
  bool bold;
  Alignment alignment;
};

TEST(LayoutTemplates, SampleRowsFieldByField) {
  const FormTemplate& rec = ReceiptStubTemplate();
  const FormTemplate& bol = CompensationPartTemplate();
  using K = ControlKind;
  using A = Alignment;
  // Rows copied from the designed forms.
  const SampleRow rows[] = {
      {rec, 1, K::kPictureBox, "PictLogoBanco", kNoIndex, 120, 1850, 1695, 500, "", "MS Sans Serif",
       8.25, false, A::kLeft},
      {rec, 3, K::kLabel, "lblCedente1", kNoIndex, 240, 3240, 6135, 165, "Cedente", "MS Serif",
       6.75, false, A::kLeft},
      {rec, 9, K::kLabel, "lblCodigoBanco", kNoIndex, 1800, 2040, 1215, 315, "| 999-9 |", "Verdana",
       11.25, true, A::kLeft},
      {rec, 12, K::kLabel, "lblIntrucao3", kNoIndex, 240, 4830, 7695, 165, kSixtyX, "MS Sans Serif",
       8.25, false, A::kLeft},
      {rec, 19, K::kLabel, "lblTRecibo", 7, 9000, 2160, 1650, 195, "Recibo do Pagador",
       "MS Sans Serif", 8.25, true, A::kLeft},
      {rec, 30, K::kLabel, "lblTNumDocumento", kNoIndex, 1815, 3495, 1560, 150, "Nº do Documento",
       "Arial", 6.75, false, A::kLeft},
      {rec, 45, K::kLabel, "lblTAgencia", kNoIndex, 8160, 2845, 1800, 150,
       "Agência/Código Beneficiário", "Arial", 6.75, false, A::kLeft},
      {rec, 60, K::kLabel, "lblValorDocumento", kNoIndex, 8760, 3990, 1815, 165, "Valor Doc",
       "MS Sans Serif", 8.25, false, A::kRight},
      {rec, 76, K::kLine, "Line3", 3, 8040, 5640, 10680, 5640, "", "MS Sans Serif", 8.25, false,
       A::kLeft},
      {rec, 87, K::kLabel, "lblTIntrucao", kNoIndex, 240, 4215, 3495, 150,
       "Instruções ( Texto de responsabilidade do Cedente)", "Arial", 6.75, false, A::kLeft},
      {rec, 90, K::kLabel, "lblTAutentica", kNoIndex, 9120, 6975, 1530, 135,
       "Autenticação Mecânica", "Arial", 6.75, true, A::kLeft},
      {bol, 2, K::kPictureBox, "CodigoBarras", kNoIndex, 360, 5400, 7935, 1335, "", "Courier New",
       9.75, false, A::kLeft},
      {bol, 9, K::kLabel, "lblCodigoBanco", kNoIndex, 1800, 420, 1155, 315, "| 999-9 |", "Verdana",
       11.25, true, A::kLeft},
      {bol, 14, K::kLabel, "lblAutentica", kNoIndex, 7275, 5175, 3405, 135,
       "Autenticação Mecânica / FICHA DE COMPENSAÇÃO", "Arial", 6.75, true, A::kLeft},
      {bol, 31, K::kLabel, "nr", kNoIndex, 3600, 495, 7095, 240, "nr", "MS Sans Serif", 12, true,
       A::kLeft},
      {bol, 33, K::kLabel, "lblSacado2", kNoIndex, 840, 4540, 9615, 165, kSixtyX, "MS Sans Serif",
       8.25, false, A::kLeft},
      {bol, 44, K::kLabel, "lblCedente1", kNoIndex, 240, 1503, 6135, 165, "Cedente", "MS Serif",
       6.75, false, A::kLeft},
      {bol, 63, K::kLabel, "lblVencimento", kNoIndex, 9000, 945, 1560, 165, "Contra-Apresentação",
       "MS Sans Serif", 8.25, false, A::kLeft},
      {bol, 76, K::kLabel, "lblTAcrescimos", kNoIndex, 8160, 3495, 855, 150,
       "(+) Outros Acréscimos", "Arial", 6.75, false, A::kLeft},
      {bol, 79, K::kLabel, "lblValor", kNoIndex, 5550, 2190, 1305, 165, "Valor", "MS Sans Serif",
       8.25, false, A::kRight},
      {bol, 92, K::kLine, "Line3", 23, 8040, 3480, 10680, 3480, "", "MS Sans Serif", 8.25, false,
       A::kLeft},
  };
  for (const SampleRow& row : rows) {
    SCOPED_TRACE(std::string(row.form.name) + " #" + std::to_string(row.position));
    ASSERT_LE(row.position, row.form.controls.size());
    const ControlTemplate& c = row.form.controls[row.position - 1];
    EXPECT_EQ(c.kind, row.kind);
    EXPECT_EQ(c.name, row.name);
    EXPECT_EQ(c.index, row.index);
    EXPECT_EQ(c.left, row.a);
    EXPECT_EQ(c.top, row.b);
    EXPECT_EQ(c.width, row.c);
    EXPECT_EQ(c.height, row.d);
    EXPECT_EQ(c.caption, row.caption);
    if (row.kind != ControlKind::kLine) {
      EXPECT_EQ(c.font.name, row.font_name);
      EXPECT_DOUBLE_EQ(c.font.size, row.font_size);
      EXPECT_EQ(c.font.bold, row.bold);
    }
    EXPECT_EQ(c.alignment, row.alignment);
  }
}

TEST(LayoutTemplates, OrderFacts) {
  const FormTemplate& rec = ReceiptStubTemplate();
  const FormTemplate& bol = CompensationPartTemplate();
  // The barcode area is the compensation part's second control.
  EXPECT_EQ(bol.controls[1].name, "CodigoBarras");
  // Line3(3) of the compensation part lies above the template.
  LayoutForm bol_form(bol);
  const Control* line3_3 = bol_form.Find("Line3", 3);
  ASSERT_NE(line3_3, nullptr);
  EXPECT_EQ(line3_3->x1(), 0);
  EXPECT_EQ(line3_3->y1(), -7680);
  EXPECT_EQ(line3_3->x2(), 6);
  EXPECT_EQ(line3_3->y2(), -7680);
  // Line2 of the stub runs upwards: its end points stay in stored order.
  LayoutForm rec_form(rec);
  const Control* line2 = rec_form.Find("Line2");
  ASSERT_NE(line2, nullptr);
  EXPECT_EQ(line2->x1(), 8040);
  EXPECT_EQ(line2->y1(), 6000);
  EXPECT_EQ(line2->x2(), 8040);
  EXPECT_EQ(line2->y2(), 2400);
  EXPECT_EQ(rec.controls[6].name, "Line2");
  // Line3(24) is the separation between the two parts, at the top.
  const Control* separation = bol_form.Find("Line3", 24);
  ASSERT_NE(separation, nullptr);
  EXPECT_EQ(separation->y1(), 0);
  EXPECT_EQ(separation->x2(), 10680);
  // Each form has only the controls that belong to it.
  EXPECT_EQ(rec_form.Find("CodigoBarras"), nullptr);
  EXPECT_EQ(rec_form.Find("nr"), nullptr);
  EXPECT_EQ(bol_form.Find("Picture2"), nullptr);
  EXPECT_EQ(bol_form.Find("lblTRecibo", 7), nullptr);
  EXPECT_NE(rec_form.Find("lblTRecibo", 7), nullptr);
}

TEST(LayoutTemplates, LineArrayIndexes) {
  // The compensation part has every Line3 from 0 to 25; the stub all but 11
  // and 24. No index occurs twice in a form.
  std::set<int> all;
  for (int i = 0; i <= 25; ++i) all.insert(i);
  std::set<int> stub = all;
  stub.erase(11);
  stub.erase(24);
  struct Row {
    const FormTemplate& form;
    std::set<int> expected;
  };
  for (const Row& row : {Row{ReceiptStubTemplate(), stub}, Row{CompensationPartTemplate(), all}}) {
    std::set<int> indexes;
    for (const ControlTemplate& c : row.form.controls) {
      if (c.name != "Line3") continue;
      EXPECT_TRUE(indexes.insert(c.index).second) << row.form.name << " Line3(" << c.index << ")";
    }
    EXPECT_EQ(indexes, row.expected) << row.form.name;
  }
}

TEST(LayoutTemplates, EveryLineIsHorizontalOrVertical) {
  for (const FormTemplate* form : {&ReceiptStubTemplate(), &CompensationPartTemplate()}) {
    for (const ControlTemplate& c : form->controls) {
      if (c.kind != ControlKind::kLine) continue;
      EXPECT_TRUE(c.left == c.width || c.top == c.height)
          << form->name << " " << c.name << "(" << c.index << ")";
    }
  }
}

TEST(LayoutTemplates, TemporaryFormHoldsTheBankDescription) {
  const FormTemplate& tmp = TemporaryFormTemplate();
  ASSERT_EQ(tmp.controls.size(), 1u);
  const ControlTemplate& c = tmp.controls[0];
  EXPECT_EQ(c.name, "txtDescBanco");
  EXPECT_EQ(c.kind, ControlKind::kLabel);
  EXPECT_EQ(c.left, 0);
  EXPECT_EQ(c.top, 0);
  EXPECT_EQ(c.width, 3255);
  EXPECT_EQ(c.height, 285);
  EXPECT_EQ(c.caption, "");
}

TEST(LayoutForm, CaptionsArePerInstanceAndByName) {
  LayoutForm first(CompensationPartTemplate());
  LayoutForm second(CompensationPartTemplate());
  ASSERT_TRUE(
      first.SetCaption("nr", "00190.00009 01234.567004 00000.123180 4 99990000000001").ok());
  EXPECT_EQ(*first.Caption("nr"), "00190.00009 01234.567004 00000.123180 4 99990000000001");
  EXPECT_EQ(*second.Caption("nr"), "nr");  // the template is untouched
  EXPECT_EQ(*first.Caption("lblSacado1"), kSixtyX);
}

TEST(LayoutForm, UnknownNamesAreErrors) {
  LayoutForm rec(ReceiptStubTemplate());
  Status set = rec.SetCaption("nr", "x");  // the stub has no digitable line
  ASSERT_FALSE(set.ok());
  EXPECT_EQ(set.error().number, error_number::kItemNotFound);
  EXPECT_EQ(set.error().description, "frmTabLayBolRec has no label named nr");
  EXPECT_FALSE(rec.Caption("Line2").ok());                   // a line has no caption
  EXPECT_FALSE(rec.SetPicture("lblTotal", Picture()).ok());  // a label has no picture
}

TEST(LayoutForm, PicturesStartEmpty) {
  LayoutForm rec(ReceiptStubTemplate());
  Result<Picture> logo = rec.GetPicture("PictLogoBanco");
  ASSERT_TRUE(logo.ok());
  EXPECT_TRUE(logo->empty());
  EXPECT_EQ(logo->handle(), 0u);
}

}  // namespace
}  // namespace boleto
