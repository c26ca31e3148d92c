// The installment eligibility check: whether the installment named on the
// command line may be printed as an unregistered boleto. Every failing rule
// shows one message (the document identification, then the rule's text,
// with the exclamation icon) and refuses the installment; the check goes on
// to the next rule except where a missing row leaves nothing to check. On
// the way it fills the run's key, message prefix and bank settings.
#pragma once

#include <string>
#include <string_view>

#include "run/run_context.h"

namespace boleto {

enum class EligibilityOutcome { kAccepted, kRefused, kErrorReported };

// Runs every rule against ctx.db and fills ctx.key, ctx.message_prefix,
// ctx.bank and ctx.txt_desc_banco. kRefused after one or more messages (or
// silently when the account's portfolio differs from the installment's);
// kErrorReported after an error report with an empty context.
EligibilityOutcome CheckInstallmentEligibility(RunContext& ctx);

// BANCO.Nome (kind other than "M") or BANCO.Moeda (kind "M") of the bank,
// for the company unless it is "SEM EMPRESA". Without a row: 30 blanks, or
// the company's default currency for "M"; the same after a reported error.
std::string LookupBankDescription(RunContext& ctx, std::string_view company, std::string_view bank,
                                  std::string_view kind);

}  // namespace boleto
