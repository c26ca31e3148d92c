// The SQL texts of the boleto run, pure: built from the run's key and
// dialect, nothing read or executed here. Every value is quoted with
// SqlQuote.
#pragma once

#include <string>
#include <string_view>

#include "run/run_context.h"

namespace boleto {

// The installment query: the installment with its document and payer, found
// only while unpaid, not cancelled and not in a processed remittance; the
// taxes summed with NULL as zero in the SQL of `dialect`.
std::string InstallmentQuery(Dialect dialect, const InstallmentKey& key);
// The species query (DOCESP) for company, bank and document code.
std::string SpeciesQuery(std::string_view codigo_emp, std::string_view banco_cobranca,
                         std::string_view codigo_documento);
// The count of the document's installments.
std::string InstallmentCountQuery(const InstallmentKey& key);

}  // namespace boleto
