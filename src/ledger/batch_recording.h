// A batch's recording: the boletos of a month-end batch recorded once their
// document has been handed over. Per connection and dialect, in the order
// given: transactions of a few hundred installments, each installment
// recorded all or nothing on its own inside them (a nested transaction, as
// RecordLockedBoleto runs it). The installments are locked and read a
// hundred at a time (LockInstallments) and each takes its row by its key
// (InstallmentRowKey); one whose row did not come back so (its line names it
// in another case, or it is gone), or whose hundred could not be locked,
// locks and reads its own row as a single run does. The installments of a
// hundred whose accounts send no remittances are checked one by one
// (CheckLockedBoleto) and then written together, one statement for each
// series among them, in a nested transaction of their own; where that
// statement fails, or does not find each of them once, each is recorded on
// its own as above. Where the dialect has
// no savepoints (the database nests no transaction) there is no group
// transaction and each installment is a transaction of its own that locks
// its own row.
// Touches: the database, the installments' messages.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"
#include "ledger/recording.h"
#include "platform/status.h"
#include "run/run_context.h"

namespace boleto {

// Locks and reads many installments at once, inside the open transaction,
// with one deadline for their lock waits: for each company, unit, document,
// series and installment number among them, one statement locks their
// documents ("UPDATE DOCUMENTOR SET Status = Status WHERE
// DOCUMENTOR.CodigoEmp = '01' AND ... AND DOCUMENTOR.Numero IN (...)"), one
// exactly those installments ("UPDATE PARCELAR SET DoctoRecebimento =
// DoctoRecebimento WHERE CodigoEmp = '01' AND ... AND Parcela = '01' AND
// Numero IN (...)") and one query reads their rows as RecordPrintedBoleto
// reads one. Gives each installment's row by InstallmentRowKey; an
// installment deleted, held by a processed remittance row or whose document
// lost its payer has none.
Result<std::map<std::string, RowSet>> LockInstallments(Database& db, Dialect dialect,
                                                       const std::vector<InstallmentKey>& keys);

// The name LockInstallments gives an installment's row: the key's columns
// without the blanks that end them.
std::string InstallmentRowKey(const InstallmentKey& key);

// What a batch keeps of a printed installment until its recording instead
// of its whole run state (some 3 KB with the page's texts): what the
// recording and the amount due read, the bank settings shared between the
// installments of one account.
struct KeptInstallment {
  Database* db = nullptr;
  Dialect dialect = Dialect::kSqlite;
  std::string decimal_mark;
  Messages* messages = nullptr;
  InstallmentKey key;
  std::string codigo_emp;      // as read: the company of the number draw
  std::string matr_sel;        // the requesting user of the remittance row
  std::string moeda_padrao;    // the company's currency, for the amount due
  std::string message_prefix;  // "Documento: ..." of the recording's messages
  // The bank settings with the payer left empty, so that the installments
  // of one account share them; the payer is kept apart.
  std::shared_ptr<const BankSettings> bank;
  std::string tipo_empresa;
  std::string codigo_empresa;
};

// What KeptInstallment keeps of `ctx`, with `account` as its bank settings:
// those of `ctx` without the payer (AccountSettings), or an equal copy.
KeptInstallment KeepForRecording(const RunContext& ctx,
                                 std::shared_ptr<const BankSettings> account);

// The bank settings of `ctx` without the payer: equal for every installment
// of one account.
BankSettings AccountSettings(const RunContext& ctx);

// The run state the recording reads, made again from what was kept.
RunContext RecordingContext(const KeptInstallment& kept);

// One installment of the batch's recording.
struct BatchInstallment {
  // Its connection, dialect, key, bank and messages. When null, made from
  // `kept` for the time of its transaction (and valid in `settled`).
  RunContext* ctx = nullptr;
  const PrintedBoleto* printed = nullptr;
  RecordingOutcome outcome = RecordingOutcome::kFailed;  // once settled
  const KeptInstallment* kept = nullptr;
};

// What the batch hears while recording. `tried`: an installment's own
// recording is over (its transaction's commit may still be due). `settled`:
// its outcome is final, at once when it was not recorded, after the commit
// of its transaction when it was (a commit that fails shows the error report
// and kNotRecordedMessage, and settles it as kFailed).
struct BatchRecordingEvents {
  std::function<void()> tried;
  std::function<void(const BatchInstallment&)> settled;
};

// Records every installment as described above, each checked against
// `amount_due_now` as RecordPrintedBoleto checks it. A transaction that
// cannot begin shows its error report on each of its installments.
void RecordBatch(std::span<BatchInstallment> installments, const AmountDueNow& amount_due_now,
                 const BatchRecordingEvents& events);

}  // namespace boleto
