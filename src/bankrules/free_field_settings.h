// Whether a bank's settings can compose a free field at all. Some portfolio,
// beneficiary-code and account settings leave a bank branch with nothing (or
// too little) to put in the barcode; the eligibility check refuses such
// installments before anything is printed.
#pragma once

#include <string_view>

namespace boleto {

enum class FreeFieldProblem {
  kNone,
  kUnsupportedPortfolio,   // 033 not "101"/"102", 399 not "CNR"/"CSB"
  kBeneficiaryCodeLength,  // 104 with a trimmed code neither 6 nor 16 long
  kAccountWithoutDigit,    // 341 without a digit after a dash in the account
};

// The problem of bank `bank_code` with these settings (the portfolio's
// external code, CONTA.IdentificacaoSR as stored, the collecting account as
// stored); kNone for every other bank.
FreeFieldProblem FreeFieldSettingsProblem(std::string_view bank_code, std::string_view carteira_ext,
                                          std::string_view identificacao_sr_stored,
                                          std::string_view conta_cobranca);

}  // namespace boleto
