// Choosing the installments of a month-end batch from the database: the
// open installments of one company (optionally one unit, bank, document code
// and range of due dates), written as argument texts, one a line, in key
// order, ready for --batch. Open means what the boleto run's installment
// query means: no receipt date, document not cancelled, no processed
// remittance row. Whether each may be collected by boleto is still for the
// batch to decide: an installment whose payer has no SUPAEMPR row is listed,
// and the batch refuses it with its message.
//
// Each line is a full 133-column argument text: the dialect tag and the
// connect string as given, the installment's key as stored and the
// requesting user. A key value that does not fit its columns (or holds a
// line break) cannot be named by an argument text: it is reported on `log`
// and left out.
// Touches: the database (read only), `out`, `log` and the error report.
#pragma once

#include <cstdio>
#include <string>

#include "boleto/queries.h"
#include "platform/messages.h"

namespace boleto {

struct SelectRequest {
  Dialect dialect = Dialect::kSqlite;
  std::string connect_string;  // at most the 63 columns of the argument text
  std::string user;            // at most its 15 columns
  InstallmentFilter filter;
};

// Writes the argument texts of the installments chosen to `out` and gives
// the exit status: 0 some written, 1 none found (or some left out), 2 the
// database failed (error report through `messages`) or `out` could not be
// written.
int RunSelect(const SelectRequest& request, std::FILE* out, std::FILE* log, Messages& messages);

}  // namespace boleto
