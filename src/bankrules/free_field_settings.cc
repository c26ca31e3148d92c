#include "bankrules/free_field_settings.h"

#include "bankrules/digit_text.h"

namespace boleto {

FreeFieldProblem FreeFieldSettingsProblem(std::string_view bank_code, std::string_view carteira_ext,
                                          std::string_view identificacao_sr_stored,
                                          std::string_view conta_cobranca) {
  if (bank_code == "033" && carteira_ext != "101" && carteira_ext != "102") {
    return FreeFieldProblem::kUnsupportedPortfolio;
  }
  if (bank_code == "399" && carteira_ext != "CNR" && carteira_ext != "CSB") {
    return FreeFieldProblem::kUnsupportedPortfolio;
  }
  if (bank_code == "104") {
    const size_t length = bankrules::Trim(identificacao_sr_stored).size();
    if (length != 6 && length != 16) return FreeFieldProblem::kBeneficiaryCodeLength;
  }
  if (bank_code == "341") {
    const std::string_view account = bankrules::Trim(conta_cobranca);
    const size_t dash = account.find('-');
    if (dash == std::string_view::npos || dash + 1 >= account.size() || account[dash + 1] < '0' ||
        account[dash + 1] > '9') {
      return FreeFieldProblem::kAccountWithoutDigit;
    }
  }
  return FreeFieldProblem::kNone;
}

}  // namespace boleto
