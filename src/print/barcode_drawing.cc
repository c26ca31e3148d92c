#include "print/barcode_drawing.h"

#include <cmath>

#include "bankrules/barcode.h"

namespace boleto {
namespace {

constexpr size_t kPrintedLineLength = 54;

// Separators between the digit groups: a dot inside each field, blanks
// between the fields (0-based positions).
constexpr struct {
  size_t position;
  char separator;
} kSeparators[] = {{5, '.'}, {11, ' '}, {17, '.'}, {24, ' '}, {30, '.'}, {37, ' '}, {39, ' '}};

Error Malformed(std::string description) {
  return MakeError(error_number::kMalformedBarcode, std::move(description));
}

}  // namespace

Status CheckPrintedLineLayout(std::string_view printed_line) {
  const std::string quoted = "\"" + std::string(printed_line) + "\"";
  if (printed_line.size() != kPrintedLineLength) {
    return Malformed("The digitable line " + quoted + " is not 54 characters long");
  }
  for (const auto& [position, separator] : kSeparators) {
    if (printed_line[position] != separator) {
      return Malformed("The digitable line " + quoted + " has no '" + std::string(1, separator) +
                       "' at position " + std::to_string(position + 1));
    }
  }
  return Status::Ok();
}

Status DrawBarElement(PrinterSurface& surface, const BarElement& element, BarCursor& cursor) {
  const double left = (cursor.bar_position_x + element.start) * kTwipsPerModule + cursor.origin_x;
  const double top = element.top * kTwipsPerModule + cursor.origin_y;
  const double right = (cursor.bar_position_x + element.width) * kTwipsPerModule + cursor.origin_x;
  const double bottom = element.bottom * kTwipsPerModule + cursor.origin_y;
  Status drawn = surface.FillRectangle(left, top, right, bottom, element.colour);
  if (!drawn.ok()) return drawn;
  cursor.bar_position_x = static_cast<int16_t>(cursor.bar_position_x + element.width);
  return Status::Ok();
}

Status DrawBarcode(PrinterSurface& surface, std::string_view printed_line) {
  BarCursor cursor;
  cursor.origin_x = std::nearbyint(surface.CurrentX());  // halves to even
  cursor.origin_y = surface.CurrentY();
  if (Status layout = CheckPrintedLineLayout(printed_line); !layout.ok()) return layout;
  Result<std::string> barcode = RebuildBarcode(printed_line);
  if (!barcode.ok()) return barcode.status();
  Result<std::vector<BarElement>> elements = Interleaved2of5Elements(*barcode);
  if (!elements.ok()) return elements.status();
  cursor.bar_position_x = kFirstBarPosition;
  for (const BarElement& element : *elements) {
    Status drawn = DrawBarElement(surface, element, cursor);
    if (!drawn.ok()) return drawn;
  }
  return Status::Ok();
}

}  // namespace boleto
