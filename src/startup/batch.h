// Month-end runs: many installments, named by argument texts one per line,
// printed into one document (one multi-page PDF file or one print job), or
// into a PDF file per installment in a folder, and recorded once that
// document (or every file) has been handed over; an installment whose own
// file could not be written is reported and not recorded.
//
// Every installment is checked as a single run checks it. The eligible ones
// are drawn in the file's order, one page each. A byte-order mark at the
// start of the file is skipped and blank lines are passed over silently; a
// line too short to name an installment or with an unknown dialect tag is
// reported and skipped; a line naming an installment already in the batch
// (through any spelling of its database's connect string) is reported as
// repeated and printed once. An installment whose
// error did not stop it (its bank's name could not be read) is printed and
// recorded as a single run does, its error shown. Only a failed delivery,
// or a document that still holds a failed page's drawing, stops the batch,
// and then nothing is recorded. Afterwards each printed
// installment is recorded all or nothing on its own (a nested transaction
// inside transactions of a few hundred installments, or a transaction of its
// own where the dialect has no savepoints); a preview records nothing. One
// connection serves each connect string and dialect; logos are decoded once;
// messages are never dialogs.
//
// What the clerk sees, on `log` (standard error): one line per installment,
// its line number and key, then "impresso", the refusal message or the
// error; a summary at the end, where an installment printed despite an
// error counts among both; and, when `live` is set (a terminal), a progress
// line (startup/batch_progress.h) that is rewritten in place instead of a
// line for each printed installment. A CUPS job is named "Boletos (N)" by
// its N pages.
// Touches: the database, the printer, the file or the folder, `log`.
#pragma once

#include <cstdio>
#include <istream>

#include "run/run_context.h"

namespace boleto {

// Runs the batch of `input` to `destination` and gives the exit status: 0
// every installment printed and recorded (blank lines and repeats do not
// count); 1 some refused (or skipped, or nothing to print) and none failed;
// 2 an error on any installment or in the delivery; 64 (bad usage) when
// reading `input` failed, and then nothing is printed.
int RunBatch(std::istream& input, const PrintDestination& destination, bool preview, std::FILE* log,
             bool live);

}  // namespace boleto
