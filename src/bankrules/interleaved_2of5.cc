#include "bankrules/interleaved_2of5.h"

#include <string>

namespace boleto {
namespace {

// Narrow ("0") and wide ("1") elements of each digit.
constexpr std::string_view kPatterns[10] = {
    "00110", "10001", "01001", "11000", "00101", "10100", "01100", "00011", "10010", "01010",
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

Result<std::vector<BarElement>> Interleaved2of5Elements(std::string_view digits) {
  if (digits.size() % 2 != 0) {
    return MakeError(
        error_number::kMalformedBarcode,
        "Interleaved 2 of 5 needs an even number of digits, got " + std::to_string(digits.size()));
  }
  for (char c : digits) {
    if (!IsDigit(c)) {
      return MakeError(error_number::kMalformedBarcode,
                       "Barcode digits contain a non-digit: \"" + std::string(digits) + "\"");
    }
  }
  std::vector<BarElement> elements = {kNarrowBar, kNarrowSpace, kNarrowBar, kNarrowSpace};
  elements.reserve(4 + digits.size() * 5 + 4);
  for (size_t i = 0; i < digits.size(); i += 2) {
    std::string_view bars = kPatterns[digits[i] - '0'];
    std::string_view spaces = kPatterns[digits[i + 1] - '0'];
    for (size_t k = 0; k < 5; ++k) {
      elements.push_back(bars[k] == '1' ? kWideBar : kNarrowBar);
      elements.push_back(spaces[k] == '1' ? kWideSpace : kNarrowSpace);
    }
  }
  elements.insert(elements.end(), {kWideBar, kNarrowSpace, kNarrowBar, kNarrowSpace});
  return elements;
}

}  // namespace boleto
