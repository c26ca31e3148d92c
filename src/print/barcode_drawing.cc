#include "print/barcode_drawing.h"

#include <cmath>

namespace boleto {
namespace {

constexpr size_t kPrintedLineLength = 54;
constexpr size_t kBarcodeLength = 44;

// First character (0-based) and length of each group in the printed line.
struct Cut {
  size_t first;
  size_t length;
};
constexpr Cut kGroupCuts[8] = {{0, 5},  {6, 5},  {12, 5}, {18, 6},
                               {25, 5}, {31, 6}, {38, 1}, {40, 14}};
// Separators between the groups: a dot inside each field, blanks between.
constexpr struct {
  size_t position;
  char separator;
} kSeparators[] = {{5, '.'}, {11, ' '}, {17, '.'}, {24, ' '}, {30, '.'}, {37, ' '}, {39, ' '}};

bool AllDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

Error Malformed(std::string description) {
  return MakeError(error_number::kMalformedBarcode, std::move(description));
}

}  // namespace

Result<PrintedLineGroups> SplitPrintedLine(std::string_view printed_line) {
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
  PrintedLineGroups groups;
  for (size_t i = 0; i < groups.size(); ++i) {
    groups[i] = std::string(printed_line.substr(kGroupCuts[i].first, kGroupCuts[i].length));
  }
  return groups;
}

Result<std::string> BarcodeFromGroups(const PrintedLineGroups& groups) {
  for (size_t i = 0; i < groups.size(); ++i) {
    if (groups[i].size() != kGroupCuts[i].length || !AllDigits(groups[i])) {
      return Malformed("Group " + std::to_string(i + 1) + " of the digitable line (\"" + groups[i] +
                       "\") is not " + std::to_string(kGroupCuts[i].length) + " digits");
    }
  }
  std::string barcode;
  barcode.reserve(kBarcodeLength);
  barcode += groups[0].substr(0, 4);  // bank code and currency code
  barcode += groups[6];               // barcode check digit
  barcode += groups[7];               // due-date factor and amount
  barcode += groups[0].substr(4, 1);  // free field 1-5
  barcode += groups[1].substr(0, 4);
  barcode += groups[2];  // free field 6-15
  barcode += groups[3].substr(0, 5);
  barcode += groups[4];  // free field 16-25
  barcode += groups[5].substr(0, 5);
  return barcode;
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

Status DrawBarcode(PrinterSurface& surface, const PrintedLineGroups& groups) {
  BarCursor cursor;
  cursor.origin_x = std::nearbyint(surface.CurrentX());  // halves to even
  cursor.origin_y = surface.CurrentY();
  Result<std::string> barcode = BarcodeFromGroups(groups);
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
