// The writes of many installments of a batch made at once, once each has
// been checked on its own against its locked row (CheckLockedBoleto): for
// each series of installments (company, unit, document, series and
// installment number) one statement where single runs send one for each
// installment, with the tables left as those single runs one after another
// leave them. For the installments whose accounts send remittances, their
// bank reference numbers are drawn at once, their documents read at once
// and their remittance rows queued one INSERT each.
// Touches: the database.
#pragma once

#include <set>
#include <span>
#include <string>
#include <string_view>
#include <tuple>

#include "db/database.h"
#include "db/dialect.h"
#include "ledger/recording.h"
#include "run/run_context.h"

namespace boleto {

// Installments of a batch that differ only in their document numbers:
// company, unit, document, series and installment number.
using SeriesKey = std::tuple<std::string, std::string, std::string, std::string, std::string>;

// The series of `key`.
SeriesKey SeriesOf(const InstallmentKey& key);

// "CodigoEmp = '01' AND ... AND Parcela = '01' AND Numero IN ('1001    ',
// ...)", each column under `table` ("PARCELAR." or nothing): exactly the
// installments of `series` with those numbers; without `Parcela` when
// `table` is "DOCUMENTOR.", their documents. A database plans an IN list in
// a fraction of the time it takes for as many keys ORed together.
std::string SeriesWhere(const SeriesKey& series, const std::set<std::string>& numeros,
                        std::string_view table);

// The statement that makes the writes of installments of one series at
// once, each value chosen by the installment's number. The fee keeps the
// guard of its own statement: an installment that holds this program's
// receipt is then not updated at all, and the statement finds fewer rows
// than installments.
// REQUIRES: every installment of `series`.
std::string WritesTogetherSql(Dialect dialect, const SeriesKey& series,
                              std::span<const InstallmentWrites* const> writes);

// An installment checked against its locked row, its writes still to make.
struct CheckedInstallment {
  RunContext* ctx = nullptr;  // its connection's dialect, account, company and user
  InstallmentWrites writes;
  bool written = false;  // set by WriteTogether
};

// Makes the writes of `installments` together, in a transaction nested in
// the open one: for those whose accounts send remittances, a number drawn
// for each and its row queued (an installment that has a remittance row
// already is left out, for its own recording to update that row); then
// their writes. Marks each installment written. When anything fails, or a
// statement does not find each installment once (two of them for one row,
// one recorded meanwhile), nothing is written and none is marked. Shows
// nothing: an installment not marked is recorded on its own, which shows
// what goes wrong with it.
void WriteTogether(Database& db, Dialect dialect,
                   std::span<CheckedInstallment* const> installments);

}  // namespace boleto
