// The installment eligibility check: whether the installment named on the
// command line may be printed as an unregistered boleto. Every failing rule
// shows one message (the document identification, then the rule's text,
// with the exclamation icon) and refuses the installment; the check goes on
// to the next rule except where a missing row leaves nothing to check. On
// the way it fills the run's key, message prefix and bank settings.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_context.h"

namespace boleto {

// kAccepted: the run goes on (exit status 0 once printed); kRefused: a
// message said why (1); kErrorReported: the error report was shown (2).
enum class EligibilityOutcome { kAccepted, kRefused, kErrorReported };

// What the check gives: its outcome, and the errors it showed and went on
// after (the bank's name that could not be read). Any such error makes the
// exit status 2, whatever the outcome; the installment is still printed
// when accepted.
struct Eligibility {
  EligibilityOutcome outcome = EligibilityOutcome::kErrorReported;
  std::vector<Error> errors_shown;
};

// Runs every rule against ctx.db and fills ctx.key, ctx.message_prefix,
// ctx.bank and ctx.txt_desc_banco. kRefused after one or more messages (or
// silently when the account's portfolio differs from the installment's);
// kErrorReported after an error report with an empty context.
Eligibility CheckInstallmentEligibility(RunContext& ctx);

// The query the check finds the installment with: its document, payer and
// state, for the company, unit, document code and series of `key` and every
// number of `numeros` with every installment number of `parcelas` (one of
// each for one installment). Neither list is empty. With more numbers the
// documents are named by their key too (DocumentsByKeySql).
std::string EligibilityInstallmentQuery(const InstallmentKey& key,
                                        std::span<const std::string> numeros,
                                        std::span<const std::string> parcelas);

// BANCO.Nome (kind other than "M") or BANCO.Moeda (kind "M") of the bank,
// for the company unless it is "SEM EMPRESA". Without a row: 30 blanks, or
// the company's default currency for "M"; the same after an error, which
// is shown (context "Erro na obtenção do Banco: " and the bank) and given.
Recovered<std::string> LookupBankDescription(RunContext& ctx, std::string_view company,
                                             std::string_view bank, std::string_view kind);

}  // namespace boleto
