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
// ledger/recording.h. A page accepted by a stopped printer queue counts as
// handed over (it is recorded); the clerk is told once the run is done.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "boleto/logos.h"
#include "ledger/recording.h"
#include "print/layout_form.h"
#include "print/print_job.h"
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

// Shown (exclamation icon) when the page went to a stopped (paused) CUPS
// queue: the queue accepted the job, which prints once the queue is resumed.
std::string StoppedQueueMessage(std::string_view queue);

// Runs the whole boleto of ctx (after the eligibility check accepted it):
// its own print job of one page, then the recording (none for a preview).
RunOutcome BoletoRun(RunContext& ctx);

// The steps of the run for a batch, which draws many boletos into one job
// and records them once the document is out:
// The two directory checks; their outcome when one fails (message shown).
std::optional<RunOutcome> CheckPrintDirectories(RunContext& ctx);
// A boleto composed for its page: both layout forms filled in.
struct ComposedPage {
  LayoutForm receipt_stub{ReceiptStubTemplate()};
  LayoutForm compensation_part{CompensationPartTemplate()};
  std::string bank_description;  // txtDescBanco's caption
  bool preview = false;          // marked as a preview
};
// Reads and composes the boleto, pictures through `pictures` when given:
// kPrinted with `page` and `printed` filled; otherwise `page` stays empty
// and the outcome says why (message or error report shown). Nothing is
// drawn: a batch draws the page on another thread.
RunOutcome ComposeBoleto(RunContext& ctx, PictureCache* pictures,
                         std::unique_ptr<ComposedPage>& page, PrintedBoleto& printed);
// The error drawing the composed boleto would stop at before anything is
// drawn: a digitable line that cannot become a barcode (5).
Status CheckComposedPage(const ComposedPage& page);
// Draws a composed boleto on the job's current page (with the preview mark
// for a preview).
Status DrawComposedPage(PrintJob& job, const ComposedPage& page);
// The amount due the installment's row, read under its lock, gives by the
// same reading and rules as the printed page: what the recording checks.
Result<Currency> InstallmentAmountDue(RunContext& ctx, const RowSet& locked);
// Records a drawn boleto whose page reached its destination: kPrinted when
// recorded, kRefused when the installment changed meanwhile, kErrorReported.
RunOutcome RecordBoleto(RunContext& ctx, const PrintedBoleto& printed);

}  // namespace boleto
