#include "db/columns.h"

#include <string>

#include "platform/amount_text.h"

namespace boleto {

Result<Currency> AmountColumn(const RowSet& row, std::string_view column,
                              std::string_view decimal_mark) {
  BOLETO_ASSIGN_OR_RETURN(const std::optional<std::string> value, row.Value(column));
  if (!value.has_value()) return Currency();
  Result<Currency> amount = ParseStoredAmount(*value, decimal_mark);
  if (amount.ok()) return amount;
  Error error = amount.error();
  error.description = std::string(column) + ": " + error.description;
  return error;
}

Result<Date> DateColumn(const RowSet& row, std::string_view column) {
  BOLETO_ASSIGN_OR_RETURN(const std::string text, row.Text(column));
  std::optional<Date> date = Date::ParseIso(text);
  if (!date) {
    return MakeError(error_number::kTypeMismatch,
                     "Type mismatch: " + std::string(column) + " \"" + text + "\" is no date");
  }
  return *date;
}

}  // namespace boleto
