#include "bankrules/due_date_factor.h"

#include <cstdlib>

#include "bankrules/digit_text.h"
#include "platform/date.h"

namespace boleto {

Result<std::string> DueDateFactor(std::string_view due_date_digits) {
  if (bankrules::Trim(due_date_digits).empty()) return std::string("0000");
  const std::optional<Date> due = Date::FromDigits(due_date_digits);
  if (!due) {
    return MakeError(error_number::kTypeMismatch,
                     "Type mismatch: \"" + std::string(due_date_digits) + "\" is not a due date");
  }
  // The first count is kept only while it has exactly four digits.
  constexpr int64_t kFirstCountMin = 1000;
  constexpr int64_t kFirstCountMax = 9999;
  const Date first_base = *Date::FromYmd(1997, 10, 7);
  const Date second_base = *Date::FromYmd(2022, 5, 29);
  const int64_t first = std::llabs(due->DaysSince(first_base));
  if (first >= kFirstCountMin && first <= kFirstCountMax) return std::to_string(first);
  return bankrules::Pad(std::to_string(std::llabs(due->DaysSince(second_base))), 4);
}

}  // namespace boleto
