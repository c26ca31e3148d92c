// The boleto run: turns the accepted installment into one printed page and
// then records it. In order: the print and logo directories are checked,
// the printer is set up, the installment is read again (only while it is
// unpaid, its document not cancelled and no processed remittance row
// exists), the species, beneficiary, installment count and payer are read,
// the amounts, the bank's fields, the barcode and the digitable line are
// composed, the two layout forms are filled and drawn on one page, the page
// is handed to its destination, and only then is the installment recorded.
//
// Failures: a missing row is no error (no installment row: nothing is
// printed or written); an installment holding another receipt is refused
// with a message before anything is printed. Any other failure is reported
// once through the error report with an empty context, and nothing is
// printed or recorded after it. The recording's own outcomes are in
// ledger/recording.h.
#pragma once

#include <string>
#include <string_view>

#include "run/run_context.h"

namespace boleto {

// How the run ended, and so the exit status: kPrinted 0; kNothingToPrint,
// kDirectoryRefused and kRefused 1 (a message said why, or nothing is left
// to collect); kErrorReported 2.
enum class RunOutcome { kPrinted, kNothingToPrint, kDirectoryRefused, kRefused, kErrorReported };

// The messages of the two directory checks (exclamation icon).
inline constexpr char kPrintDirectoryMessage[] =
    "Diretório de impressão inválido. Verifique e corrija";
inline constexpr char kLogoDirectoryMessage[] =
    "Diretório de logotipo inválido. Verifique e corrija";

// Runs the whole boleto of ctx (after the eligibility check accepted it).
RunOutcome BoletoRun(RunContext& ctx);

}  // namespace boleto
