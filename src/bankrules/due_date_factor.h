// The due-date factor of the barcode: the days from a base date to the due
// date in four digits. The count runs from 07/10/1997 while it stays within
// 1000..9999 and restarts from 29/05/2022 otherwise, so 22/02/2025 is again
// factor 1000.
#pragma once

#include <string>
#include <string_view>

#include "platform/status.h"

namespace boleto {

// The four-digit factor of a due date written "DDMMYYYY"; "0000" for a blank
// text; error 13 for a text that is not a valid date. Past 9999 days from the
// second base only the last four digits remain.
Result<std::string> DueDateFactor(std::string_view due_date_digits);

}  // namespace boleto
