// Recording a printed boleto on its receivable installment. Once the page
// has reached the printer, the installment gets, each statement in its own
// transaction and in this order:
//   1. the bank's collection fee added to ValorOutroC, only when the account
//      charges it (DespBancBol "S", ValDespCob not zero) and the installment
//      has no receipt yet, so a second print never adds it twice;
//   2. its bank reference (IDBancaria, blank-padded to 20): stored on the
//      installment alone, or, for accounts that send remittances
//      (GeraRemessaBolSR "S"), through the remittance path: an unprocessed
//      REMESSAR row of the installment gets the reference; without one a new
//      "REFBANCAR " number is drawn, a REMESSAR row is queued and the
//      installment stores number and reference;
//   3. its receipt number (8 digits of the document number and 2 of the
//      installment) with the receipt document "BOL-BANCAR", and the scheduled
//      date Programada when the account moves it to the discount limit date
//      (AltDataAnteBol "S", AntecipaBol above 0, DescontoBol "S") and that
//      date was computed for this boleto; otherwise Programada is left alone.
//
// Failures: a failing statement stops the recording, so nothing after it is
// written (statements already committed stay), with one exception: when the
// remittance path cannot draw a number or queue the REMESSAR row, the
// installment stays unqueued but still gets its receipt. The receipt is what
// keeps a reprint from adding the fee a second time, and a reprint queues
// the installment then (it finds no REMESSAR row and draws again).
// A lock held by another user shows "Impossível gravar dados, Registro está
// bloqueado por outro usuário"; any other failure is shown through the error
// report, with an empty context for the fee and receipt statements, "Erro
// atualizando identificação bancária da parcela" for the bank reference
// alone, "Erro atualizando registro para remessa EDI" for the remittance
// path and the sequence's own contexts for the number draw. Either way the
// run is marked as failed (exit status 2) and the error is returned. An
// installment that the remittance read no longer finds (its document
// cancelled meanwhile) is not an error: the remittance path stops quietly
// and the receipt follows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/date.h"
#include "platform/status.h"
#include "startup/run_context.h"

namespace boleto {

// What the boleto run hands over after printing: the bank reference composed
// by the bank's rules and the discount limit date, when one was computed.
struct PrintedBoleto {
  std::string id_bancaria;
  std::optional<Date> discount_limit_date;
};

// Records the printed boleto as described above; ok when every statement
// was committed, otherwise the (already shown) error.
Status RecordPrintedBoleto(RunContext& ctx, const PrintedBoleto& printed);

// IDBancaria as stored: followed by blanks and cut to 20 characters.
std::string PaddedBankReference(std::string_view id_bancaria);

// NumeroRecebimento of the installment: the rightmost 8 of the zero-padded
// trimmed document number, then the rightmost 2 of the zero-padded trimmed
// installment number (number 123, installment 02: "0000012302").
std::string ReceiptNumber(const InstallmentKey& key);

// The WHERE clause naming the installment in PARCELAR and REMESSAR updates.
std::string InstallmentWhere(const InstallmentKey& key);

// Step 2 for accounts without remittances: stores `padded_reference` on the
// installment. Errors shown as above and returned.
Status UpdateInstallmentBankReference(RunContext& ctx, std::string_view padded_reference);

// What the remittance path leaves for the rest of the recording.
struct RemittanceOutcome {
  Status stop;      // an error that ends the recording
  Status unqueued;  // the number draw or the REMESSAR insert failed: the
                    // receipt still follows
};

// Step 2 for accounts with remittances, as described above. Every error is
// shown as above before it is returned.
RemittanceOutcome RecordRemittance(RunContext& ctx, std::string_view padded_reference);

}  // namespace boleto
