// The SQL texts of the boleto run, pure: built from the run's key and
// dialect, nothing read or executed here. Every value is quoted with
// SqlQuote.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/date.h"
#include "platform/status.h"
#include "run/run_context.h"

namespace boleto {

// The installment query: the installment with its document and payer, found
// only while unpaid, not cancelled and not in a processed remittance; the
// taxes summed with NULL as zero in the SQL of `dialect`.
std::string InstallmentQuery(Dialect dialect, const InstallmentKey& key);
// The same for the company, unit, document code and series of `key` and
// every number of `numeros` with every installment number of `parcelas`,
// in key order. Neither list is empty; one of each is the query above, and
// with more numbers the documents are named by their key too
// (DocumentsByKeySql).
std::string InstallmentQuery(Dialect dialect, const InstallmentKey& key,
                             std::span<const std::string> numeros,
                             std::span<const std::string> parcelas);
// The species query (DOCESP) for company, bank and document code.
std::string SpeciesQuery(std::string_view codigo_emp, std::string_view banco_cobranca,
                         std::string_view codigo_documento);
// The count of the document's installments.
std::string InstallmentCountQuery(const InstallmentKey& key);
// The counts of the documents of `numeros` (not empty) in the company,
// unit, document code and series of `key`: a row (Numero, QtdParcelas) for
// each number that has installments.
std::string InstallmentCountsQuery(const InstallmentKey& key, std::span<const std::string> numeros);

// Which open installments to list: one company, and optionally one unit,
// one collecting bank (PARCELAR.BancoCobranca), one document code and a
// range of due dates (either end may be open; both ends are included).
struct InstallmentFilter {
  std::string codigo_emp;
  std::string codigo_unidade;    // empty: every unit
  std::string banco_cobranca;    // empty: every bank
  std::string codigo_documento;  // empty: every document code
  std::optional<Date> due_from;
  std::optional<Date> due_to;
};

// The key columns (CodigoEmp, CodigoUnidade, CodigoDocumento, Serie,
// Numero, Parcela) of the installments of `filter` that the installment
// query would find open: no receipt date, document not cancelled, no
// processed remittance row; in key order. Unit and document are compared
// blank-padded to 8 and 10 characters, as the key columns are stored; the
// dates go in as the dialect's literals, the last day included.
Result<std::string> OpenInstallmentsQuery(Dialect dialect, const InstallmentFilter& filter);

}  // namespace boleto
