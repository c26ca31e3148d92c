// Amount and date columns of a row as the program reads them. One rule for
// every stage: a NULL amount counts as zero; an amount or a date that is not
// one (a text, infinity, NaN, a date of another era) is an error that names
// the column, never a zero or a date read as something else.
#pragma once

#include <string_view>

#include "db/database.h"
#include "platform/currency.h"
#include "platform/date.h"
#include "platform/status.h"

namespace boleto {

// The current row's `column` as currency through ParseStoredAmount; NULL is
// zero. Error 13 or 6 naming the column for a value that is no amount (a
// text such as "1.500,00" that SQLite's loose typing kept, infinity, NaN).
Result<Currency> AmountColumn(const RowSet& row, std::string_view column,
                              std::string_view decimal_mark);

// The current row's `column` as a date ("YYYY-MM-DD..." as the drivers
// write it). NULL is error 94, a value that is no date error 13, each naming
// the column.
Result<Date> DateColumn(const RowSet& row, std::string_view column);

}  // namespace boleto
