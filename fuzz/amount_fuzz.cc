// libFuzzer target for the amount texts: ParseAmount, ParseStoredAmount and
// SqlDecimalText never crash, a stored amount read at all is read as
// ParseAmount reads it, and a decimal text, when there is one, is always
// digits, one dot and two decimals, reading back as the amount it stands for.
// fuzz-sources: src/platform/amount_text.cc src/platform/currency.cc

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/amount_text.h"

namespace {

bool IsSqlDecimal(const std::string& text, char mark) {
  if (text.size() < 4 || text[text.size() - 3] != mark) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i == text.size() - 3) continue;
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (std::string_view mark : {std::string_view("."), std::string_view(",")}) {
    const boleto::Result<boleto::Currency> amount = boleto::ParseAmount(text, mark);
    const boleto::Result<std::string> decimal = boleto::SqlDecimalText(text, mark);
    // A stored amount that is read at all is read as ParseAmount reads it.
    const boleto::Result<boleto::Currency> stored = boleto::ParseStoredAmount(text, mark);
    if (stored.ok()) Check(amount.ok() && stored->raw() == amount->raw());
    if (decimal.ok()) Check(IsSqlDecimal(*decimal, mark[0]));
    if (amount.ok()) {
      const boleto::Result<std::string> from_amount = boleto::SqlDecimalText(*amount, mark);
      if (from_amount.ok()) {
        Check(IsSqlDecimal(*from_amount, mark[0]));
        // A non-negative amount written and read back is itself, to the cent.
        const boleto::Result<boleto::Currency> back = boleto::ParseAmount(*from_amount, ".");
        Check(back.ok());
        if (amount->raw() >= 0) {
          const int64_t cents_in = (amount->raw() + 50) / 100;
          Check(back->raw() == cents_in * 100);
        } else {
          Check(back->raw() == 0);
        }
      }
    }
  }
  const int16_t position = boleto::TextPosition(text.substr(0, size / 2), text);
  Check(position == 1);  // a text always starts with its own first half
  return 0;
}
