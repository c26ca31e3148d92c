#include "print/renderer.h"

#include "bankrules/barcode.h"
#include "print/barcode_drawing.h"
#include "print/utf8_text.h"

namespace boleto {
namespace {

constexpr std::string_view kBarcodeArea = "CodigoBarras";
constexpr std::string_view kDigitableLineLabel = "nr";

// The font the barcode area leaves in force: Courier New 10, regular.
void SetBarcodeAreaFont(PrinterSurface& target) {
  target.SetFontName("Courier New");
  target.SetFontSize(10);
  target.SetFontBold(false);
}

Status RenderBarcodeArea(PrinterSurface& target, const LayoutForm& form, const Control& box,
                         PageOffset offset) {
  target.SetCurrentX(offset.x + box.left);
  target.SetCurrentY(box.top + offset.y);
  SetBarcodeAreaFont(target);
  if (form.name() != kCompensationPartForm) return Status::Ok();
  Result<std::string> line = form.Caption(kDigitableLineLabel);
  if (!line.ok()) return line.status();
  return DrawBarcode(target, *line);
}

}  // namespace

Status RenderLabel(PrinterSurface& target, const Control& label, std::string_view text,
                   PageOffset offset) {
  target.SetCurrentY(label.top + offset.y);
  int x = label.left;
  if (label.alignment == Alignment::kRight) {
    // Not clamped: a text wider than the label starts left of it.
    x = label.left + label.width - kAssumedCharacterWidth * static_cast<int>(CharacterCount(text));
  }
  target.SetCurrentX(offset.x + x);
  target.SetFontName(label.font_name);
  target.SetFontSize(label.font_size);
  return target.PrintText(text);
}

Status RenderLine(PrinterSurface& target, const Control& line, PageOffset offset) {
  const double x1 = line.x1() + offset.x, y1 = line.y1() + offset.y;
  const double x2 = line.x2() + offset.x, y2 = line.y2() + offset.y;
  target.SetCurrentX(x1);
  target.SetCurrentY(y1);
  return target.DrawLine(x1, y1, x2, y2, kBlack);
}

Status RenderPictureBox(PrinterSurface& target, const LayoutForm& form, const Control& box,
                        PageOffset offset, std::string_view bank_description) {
  if (box.name == kBarcodeArea) return RenderBarcodeArea(target, form, box, offset);
  if (box.picture.handle() == 0) {
    // No logo: the bank's description, starting at the box's vertical middle.
    target.SetCurrentX(offset.x + box.left);
    target.SetCurrentY((box.top + box.height / 2.0) + offset.y);
    target.SetFontName(box.font_name);
    target.SetFontSize(box.font_size);
    if (form.name() == kReceiptStubForm || form.name() == kCompensationPartForm) {
      return target.PrintText(bank_description);
    }
    return Status::Ok();
  }
  target.SetCurrentX(offset.x + box.left);
  target.SetCurrentY(box.top + offset.y);
  target.SetFontName(box.font_name);
  target.SetFontSize(box.font_size);
  return target.PaintPicture(box.picture, target.CurrentX(), target.CurrentY());
}

Status RenderLayoutForm(PrinterSurface& target, const LayoutForm& form, int16_t vertical_offset,
                        int16_t horizontal_offset, std::string_view bank_description) {
  const PageOffset offset{horizontal_offset, vertical_offset};
  for (const Control& control : form.controls()) {
    Status drawn;
    switch (control.kind) {
      case ControlKind::kLabel:
        drawn = RenderLabel(target, control, control.caption, offset);
        break;
      case ControlKind::kPictureBox:
        drawn = RenderPictureBox(target, form, control, offset, bank_description);
        break;
      case ControlKind::kLine:
        drawn = RenderLine(target, control, offset);
        break;
    }
    if (!drawn.ok()) return drawn;
  }
  return Status::Ok();
}

Status RenderBoletoPage(PrinterSurface& target, const LayoutForm& receipt_stub,
                        const LayoutForm& compensation_part, std::string_view bank_description) {
  // A digitable line that cannot become a barcode stops the page before
  // anything is drawn on it.
  Result<std::string> line = compensation_part.Caption(kDigitableLineLabel);
  if (!line.ok()) return line.status();
  if (Status layout = CheckPrintedLineLayout(*line); !layout.ok()) return layout;
  Result<std::string> barcode = RebuildBarcode(*line);
  if (!barcode.ok()) return barcode.status();

  Status drawn = RenderLayoutForm(target, receipt_stub, kReceiptStubOffset.y, kReceiptStubOffset.x,
                                  bank_description);
  if (!drawn.ok()) return drawn;
  return RenderLayoutForm(target, compensation_part, kCompensationPartOffset.y,
                          kCompensationPartOffset.x, bank_description);
}

}  // namespace boleto
