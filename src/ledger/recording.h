// Recording a printed boleto on its receivable installment, and the rules
// that keep the money of a boleto right. They hold for every print, reprint,
// failure, crash and two clerks printing the same installment at once:
//
//   One amount. The amount due is taken to whole cents once; the page, the
//   barcode and the installment after recording all stand for that amount.
//   The recording re-reads the installment under its row lock and writes
//   nothing when the amount it now gives differs from the printed one.
//   Fee once. The bank's collection fee goes into ValorOutroC at the first
//   recorded print of an installment without a receipt (receipt columns
//   blank or NULL), when the account charges it (DespBancBol "S", ValDespCob
//   not zero). A later print finds this program's receipt ("BOL-BANCAR")
//   and reads ValorOutroC without the fee, since the amount due adds it.
//   All or nothing. Fee, bank reference (or remittance row with its number
//   draw) and receipt are written in one transaction: a failure rolls every
//   one of them back, and a process that dies leaves nothing half-written.
//   Never over another receipt. The first statements of the transaction
//   lock the document's row and then the installment's; an installment
//   received, cancelled or given another receipt meanwhile is left as it is.
//   One wait. All the lock waits of a recording end at one deadline: the
//   connection's own lock wait counted from the recording's start.
//
// The recording, in order, inside that transaction:
//   0. the locks: "UPDATE DOCUMENTOR SET Status = Status" with the
//      document's key, "UPDATE PARCELAR SET DoctoRecebimento =
//      DoctoRecebimento" with the installment WHERE clause (a row missing:
//      changed meanwhile), then the installment re-read with
//      its document: receipt, state and the columns of its amount due;
//   1. the fee added to ValorOutroC when the rule above says so;
//   2. the bank reference (IDBancaria, blank-padded to 20): on the
//      installment alone, or, for accounts that send remittances
//      (GeraRemessaBolSR "S"), on an unprocessed REMESSAR row of the
//      installment; without one a new "REFBANCAR " number is drawn, a
//      REMESSAR row is queued and the installment stores number and
//      reference;
//   3. the receipt number (8 digits of the document number and 2 of the
//      installment) with "BOL-BANCAR", and Programada when the account moves
//      it to the discount limit date (AltDataAnteBol "S", AntecipaBol above
//      0, DescontoBol "S") and that date was computed for this boleto.
//
// Failures: a lock held by another user past the deadline shows
// "Impossível gravar dados, Registro está bloqueado por outro usuário"; any
// other failure the error report, with an empty context for the lock, fee
// and receipt statements, "Erro atualizando identificação bancária da
// parcela" for the bank reference alone, "Erro atualizando registro para
// remessa EDI" for the remittance path and the sequence's own contexts for
// the number draw. Then everything is rolled back and kNotRecordedMessage
// says so. Touches: the database, the messages.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "db/database.h"
#include "db/dialect.h"
#include "ledger/remittance.h"
#include "platform/currency.h"
#include "platform/date.h"
#include "platform/status.h"
#include "run/run_context.h"

namespace boleto {

// Whose receipt an installment holds.
enum class Receipt {
  kNone,         // DoctoRecebimento and NumeroRecebimento blank or NULL
  kThisProgram,  // DoctoRecebimento "BOL-BANCAR": printed and recorded before
  kOther,        // any other receipt: collected some other way
};

// The receipt of an installment from its two receipt columns (NULL: none).
Receipt ReceiptOf(const std::optional<std::string>& docto_recebimento,
                  const std::optional<std::string>& numero_recebimento);

// True when ValorOutroC already holds the fee of an earlier print: this
// program's receipt and an account that charges the fee. The amount due is
// then computed from ValorOutroC less the fee.
bool FeeAlreadyInOtherAdditions(const BankSettings& bank, Receipt receipt);

// True when this recording adds the fee to ValorOutroC: no receipt yet and
// an account that charges the fee.
bool RecordingAddsFee(const BankSettings& bank, Receipt receipt);

// What the boleto run hands over after printing: the bank reference composed
// by the bank's rules, the discount limit date when one was computed, and
// the amount due in whole cents as printed and encoded in the barcode.
struct PrintedBoleto {
  std::string id_bancaria;
  std::optional<Date> discount_limit_date;
  Currency amount_due;
};

// The amount due by the boleto run's own rules from the installment's row
// read under the lock. The row names its columns as the installment query
// does: Ocorrencia, NumeroRecebimento, Moeda, Emissao, Vencimento,
// Resultado, Impostos with the six taxes it adds up (kWithheldTaxColumns),
// ValorOutroD, ValorOutroC, ValorDesconto, PercentualDesconto,
// PercentualJuros, ValorMulta and PercentualMulta.
using AmountDueNow = std::function<Result<Currency>(RunContext&, const RowSet& locked)>;

enum class RecordingOutcome {
  kRecorded,  // committed
  kChanged,   // the installment changed while printing: nothing written,
              // the message (exclamation) shown; exit status 1
  kFailed,    // the error shown, everything rolled back; exit status 2
};

// Shown (exclamation icon) after a failed recording.
inline constexpr char kNotRecordedMessage[] =
    "O boleto foi impresso, mas não foi registrado na parcela: nenhum dado foi gravado. "
    "Ele pode ser impresso novamente.";

// Records the printed boleto as described above. `amount_due_now`, when
// given, computes the amount from the locked row; the printed amount must
// equal it.
RecordingOutcome RecordPrintedBoleto(RunContext& ctx, const PrintedBoleto& printed,
                                     const AmountDueNow& amount_due_now = nullptr);

// RecordPrintedBoleto for an installment that LockInstallments
// (ledger/batch_recording.h) has locked and read in the open transaction: `locked` is its row. Runs
// in a transaction of its own inside the open one.
RecordingOutcome RecordLockedBoleto(RunContext& ctx, const PrintedBoleto& printed,
                                    const RowSet& locked,
                                    const AmountDueNow& amount_due_now = nullptr);

// The writes that record an installment whose account sends no remittances
// (GeraRemessaBolSR not "S") once its locked row has passed the checks, each
// value as SQL text of the run's dialect: the fee added to ValorOutroC when
// the recording adds it, IDBancaria (PaddedBankReference), NumeroRecebimento
// (ReceiptNumber) with DoctoRecebimento "BOL-BANCAR", and Programada when
// the account moves it to the discount limit date.
struct InstallmentWrites {
  InstallmentKey key;
  std::optional<std::string> fee;
  std::string bank_reference;
  std::string receipt_number;
  std::optional<std::string> programada;
  // RefBancaria: the number drawn for the remittance row queued with them.
  std::optional<std::string> ref_bancaria;
};

// What checking a locked row gives: the writes that record it, or the
// outcome when nothing is to be written.
using CheckedRecording = std::variant<InstallmentWrites, RecordingOutcome>;

// Checks an installment that LockInstallments has locked and read as
// RecordLockedBoleto does, and gives its writes instead of making them:
// nothing is written (for an account that sends remittances, its row is
// still to be queued). When it is not to be recorded, the outcome, with the
// messages RecordLockedBoleto shows (kChanged: why; kFailed: the error
// report and kNotRecordedMessage).
CheckedRecording CheckLockedBoleto(RunContext& ctx, const PrintedBoleto& printed,
                                   const RowSet& locked,
                                   const AmountDueNow& amount_due_now = nullptr);

// DoctoRecebimento of a recorded installment as an SQL literal: 'BOL-BANCAR'.
std::string ReceiptDocumentSql();

// The sequence (DOCNUMERO) that numbers the bank references of remittances.
inline constexpr char kReferenceSequence[] = "REFBANCAR ";

// The query of what an installment's remittance row takes from it and its
// document (Unidade, CodigoDocumento, Serie, Numero, Parcela, Emissao,
// Vencimento, the discount, interest and fine columns, and Valor net of the
// withheld taxes), for the series of `key` and `numeros` (one: the single
// run's query); a cancelled document gives no row.
std::string RemittanceInstallmentSql(Dialect dialect, const InstallmentKey& key,
                                     std::span<const std::string> numeros);

// The remittance row of the current row of RemittanceInstallmentSql, for
// the account and company of `ctx`, without its references (IDBancaria,
// RefBancaria). An error for a value that cannot be read.
Result<RemittanceRecord> ReadRemittanceRecord(const RunContext& ctx, const RowSet& rows);

// What the recording reads of an installment under its lock, "SELECT ..."
// without its FROM: its receipt, its document's state and currency, and what
// its amount due is computed from, under the installment query's names.
std::string LockedColumnsSql(Dialect dialect);

// The document's payer, which the installment query joins.
inline constexpr char kWithPayerSql[] =
    " AND EXISTS ( SELECT * FROM SUPAEMPR WHERE SUPAEMPR.AEMPR_TIPO = DOCUMENTOR.TipoEmpresa "
    " AND SUPAEMPR.AEMPR_CODIGO = DOCUMENTOR.CodigoEmpresa ) ";

// IDBancaria as stored: followed by blanks and cut to 20 characters.
std::string PaddedBankReference(std::string_view id_bancaria);

// NumeroRecebimento of the installment: the rightmost 8 of the zero-padded
// trimmed document number, then the rightmost 2 of the zero-padded trimmed
// installment number (number 123, installment 02: "0000012302").
std::string ReceiptNumber(const InstallmentKey& key);

// The WHERE clause naming the installment in PARCELAR and REMESSAR updates.
std::string InstallmentWhere(const InstallmentKey& key);

// The lock statements that open the recording's transaction, in this order:
// the installment's document ("UPDATE DOCUMENTOR SET Status = Status" with
// the document's key), then the installment itself. Another program that
// cancels a document, or processes or queues an installment's remittance
// row, locks the document's row and then the installment's row first, so
// that the recording either waits for it or is waited for.
std::string DocumentLockSql(const InstallmentKey& key);
std::string InstallmentLockSql(const InstallmentKey& key);

}  // namespace boleto
