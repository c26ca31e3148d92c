#include "print/renderer.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

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
  BOLETO_ASSIGN_OR_RETURN(const std::string line, form.Caption(kDigitableLineLabel));
  return DrawBarcode(target, line);
}

// Sizes a value is narrowed in: quarter points.
constexpr double kSizeStep = 0.25;

// The longest beginning of a line, in whole characters, that is at most
// `room` wide in the surface's current font.
std::string FittingStart(PrinterSurface& target, const std::string& line, double room) {
  std::vector<size_t> ends;  // byte end of each character
  for (size_t pos = 0; pos < line.size();) {
    NextCharacter(line, pos);
    ends.push_back(pos);
  }
  size_t fitting = 0;  // characters known to fit
  size_t too_many = ends.size() + 1;
  while (too_many - fitting > 1) {
    const size_t count = (fitting + too_many) / 2;
    if (target.TextWidth(std::string_view(line).substr(0, ends[count - 1])) <= room) {
      fitting = count;
    } else {
      too_many = count;
    }
  }
  return line.substr(0, fitting == 0 ? 0 : ends[fitting - 1]);
}

// The text of a value label as it is printed to end within `room` twips:
// the label's size where it fits, else a smaller size (set on the surface)
// no smaller than kSmallestDataTextPoints, and past that each line cut.
std::string FitToLabel(PrinterSurface& target, const Control& label, std::string_view text,
                       double room) {
  const double width = target.TextWidth(text);
  if (width <= room) return std::string(text);
  const double narrowed = std::floor(label.font_size * room / width / kSizeStep) * kSizeStep;
  target.SetFontSize(std::min(label.font_size, std::max(narrowed, kSmallestDataTextPoints)));
  if (target.TextWidth(text) <= room) return std::string(text);
  std::string cut;
  bool first = true;
  for (const std::string& line : PrintedLines(text)) {
    if (!first) cut += '\n';
    first = false;
    cut += FittingStart(target, line, room);
  }
  return cut;
}

// Draws the controls of a form that `which` selects, in the form's order.
Status RenderControls(PrinterSurface& target, const LayoutForm& form, PageOffset offset,
                      std::string_view bank_description, bool (*which)(const Control&)) {
  for (const Control& control : form.controls()) {
    if (!which(control)) continue;
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
    BOLETO_RETURN_IF_ERROR(drawn);
  }
  return Status::Ok();
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
  if (!HoldsData(label)) return target.PrintText(text);
  return target.PrintText(FitToLabel(target, label, text, label.left + label.width - x));
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
    // No logo: the bank's description, starting at the box's vertical middle
    // and ending inside the box, as a value ends inside its label: past it
    // the description would run over the bank's code beside it.
    target.SetCurrentX(offset.x + box.left);
    target.SetCurrentY((box.top + box.height / 2.0) + offset.y);
    target.SetFontName(box.font_name);
    target.SetFontSize(box.font_size);
    if (form.name() == kReceiptStubForm || form.name() == kCompensationPartForm) {
      return target.PrintText(FitToLabel(target, box, bank_description, box.width));
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
  return RenderControls(target, form, PageOffset{horizontal_offset, vertical_offset},
                        bank_description, [](const Control&) { return true; });
}

namespace {

// Whether a control is drawn the same on every page whatever the boleto: a
// line, or a fixed title (as its caption and font are).
bool SharedByPages(const Control& control) {
  return control.kind == ControlKind::kLine ||
         (control.kind == ControlKind::kLabel && !HoldsData(control));
}

// What tells the shared parts of a page apart: every fixed title's caption
// and font (the lines are the templates').
std::string SharedPartsKey(const LayoutForm& receipt_stub, const LayoutForm& compensation_part) {
  // Built for every page: appended piece by piece, the size as its bits.
  std::string key;
  for (const LayoutForm* form : {&receipt_stub, &compensation_part}) {
    key += form->name();
    for (const Control& control : form->controls()) {
      if (control.kind != ControlKind::kLabel || HoldsData(control)) continue;
      key += '\n';
      key += control.name;
      key += '\t';
      key += control.caption;
      key += '\t';
      key += control.font_name;
      key += '\t';
      key.append(reinterpret_cast<const char*>(&control.font_size), sizeof control.font_size);
    }
    key += '\n';
  }
  return key;
}

// The page on a surface that keeps layers: each form's picture boxes (the
// logos and the barcode, which come first in both forms), then the lines
// and titles of both as one layer, then the values. Texts and lines lie on
// the paper side by side, so only the pictures' place under them matters.
Status RenderLayeredPage(PrinterSurface& target, const LayoutForm& receipt_stub,
                         const LayoutForm& compensation_part, std::string_view bank_description) {
  const PageOffset stub{kReceiptStubOffset.x, kReceiptStubOffset.y};
  const PageOffset part{kCompensationPartOffset.x, kCompensationPartOffset.y};
  auto pictures = [](const Control& c) { return c.kind == ControlKind::kPictureBox; };
  auto values = [](const Control& c) { return c.kind == ControlKind::kLabel && HoldsData(c); };
  BOLETO_RETURN_IF_ERROR(RenderControls(target, receipt_stub, stub, bank_description, pictures));
  BOLETO_RETURN_IF_ERROR(
      RenderControls(target, compensation_part, part, bank_description, pictures));
  BOLETO_RETURN_IF_ERROR(target.PaintLayer(
      SharedPartsKey(receipt_stub, compensation_part), [&](PrinterSurface& layer) -> Status {
        BOLETO_RETURN_IF_ERROR(
            RenderControls(layer, receipt_stub, stub, bank_description, SharedByPages));
        return RenderControls(layer, compensation_part, part, bank_description, SharedByPages);
      }));
  BOLETO_RETURN_IF_ERROR(RenderControls(target, receipt_stub, stub, bank_description, values));
  return RenderControls(target, compensation_part, part, bank_description, values);
}

}  // namespace

Status RenderBoletoPage(PrinterSurface& target, const LayoutForm& receipt_stub,
                        const LayoutForm& compensation_part, std::string_view bank_description) {
  // A digitable line that cannot become a barcode stops the page before
  // anything is drawn on it.
  BOLETO_ASSIGN_OR_RETURN(const std::string line, compensation_part.Caption(kDigitableLineLabel));
  BOLETO_RETURN_IF_ERROR(BarcodeOfPrintedLine(line).status());

  if (target.KeepsLayers()) {
    return RenderLayeredPage(target, receipt_stub, compensation_part, bank_description);
  }
  BOLETO_RETURN_IF_ERROR(RenderLayoutForm(target, receipt_stub, kReceiptStubOffset.y,
                                          kReceiptStubOffset.x, bank_description));
  return RenderLayoutForm(target, compensation_part, kCompensationPartOffset.y,
                          kCompensationPartOffset.x, bank_description);
}

}  // namespace boleto
