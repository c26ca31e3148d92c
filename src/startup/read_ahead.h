// Reading ahead in a batch: the eligibility, installment and count queries
// of many installments of one document series, each asked once for all of
// them. Each installment's share of the rows is handed to its connection as
// the answer its own query will get (CachingDatabase::Anticipate), so that
// a batch prepares three statements for a hundred installments instead of
// three for each.
// A share is handed over only where it is exactly what the installment's
// own query finds: a row whose number or installment number is not, text
// for text, one of those asked (a collation, a type or padding that
// compares otherwise) leaves every installment of that query to its own;
// two numbers (or installment numbers) asked that such a comparison may
// take for each other, or two rows for one installment, leave those
// installments to their own queries. A query
// that fails hands nothing over: each installment then asks, and reports,
// on its own.
#pragma once

#include <cstddef>
#include <span>

#include "db/caching_database.h"
#include "db/dialect.h"
#include "run/run_context.h"

namespace boleto {

// At most this many installments are read in one query: an IN list of a
// hundred keeps the statement short and is planned as fast as one key.
inline constexpr size_t kReadAheadInstallments = 100;

// Reads ahead for `keys`, installments of the company, unit, document code
// and series of the first one, in `dialect`, and anticipates their answers
// in `db`, forgetting those anticipated before.
void ReadAhead(CachingDatabase& db, Dialect dialect, std::span<const InstallmentKey> keys);

}  // namespace boleto
