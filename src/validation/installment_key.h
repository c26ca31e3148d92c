// The installment's key as every statement of the run writes it, and the
// identification that opens each eligibility message. The key columns come
// from the argument text with their blanks; statements compare them with
// the blank-padded CHAR columns of PARCELAR and DOCUMENTOR.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boleto {

// Unit, document, series and number cut or blank-padded on the right to 8,
// 10, 3 and 8 characters; installment as the last two characters of "00"
// followed by the field ("7" gives "07", "7 " stays "7 "); company as read.
// Characters are counted as the argument text counts its columns (an
// accented letter in UTF-8 is one).
InstallmentKey NormalizeInstallmentKey(const RunParameters& params);

// "Documento: " + document and series without trailing blanks, each followed
// by one blank, + the number as padded + "/" + the installment
// ("Documento: 123 1 4567    /02").
std::string MessagePrefix(const InstallmentKey& key);

// The installment as the clerk reads it in a batch's reports: company, unit,
// document, series, number "/" installment, each but the installment
// without its blanks ("01 01 DM 1 1003/01").
std::string InstallmentKeyText(const InstallmentKey& key);

}  // namespace boleto
