#include "bankrules/due_date_factor.h"

#include <cstdlib>

#include "bankrules/digit_text.h"

namespace boleto {

Result<std::string> DueDateFactor(std::string_view due_date_digits) {
  using namespace std::chrono;
  if (bankrules::Trim(due_date_digits).empty()) return std::string("0000");
  const std::optional<sys_days> due = bankrules::DueDateDays(due_date_digits);
  if (!due) {
    return MakeError(error_number::kTypeMismatch,
                     "Type mismatch: \"" + std::string(due_date_digits) + "\" is not a due date");
  }
  // The first count is kept only while it has exactly four digits.
  constexpr int64_t kFirstCountMin = 1000;
  constexpr int64_t kFirstCountMax = 9999;
  constexpr sys_days kFirstBase{year{1997} / 10 / 7};
  constexpr sys_days kSecondBase{year{2022} / 5 / 29};
  const int64_t first = std::llabs((*due - kFirstBase).count());
  if (first >= kFirstCountMin && first <= kFirstCountMax) return std::to_string(first);
  return bankrules::Pad(std::to_string(std::llabs((*due - kSecondBase).count())), 4);
}

}  // namespace boleto
