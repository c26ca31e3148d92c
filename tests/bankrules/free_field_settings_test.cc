#include "bankrules/free_field_settings.h"

#include <gtest/gtest.h>

namespace boleto {
namespace {

TEST(FreeFieldSettingsProblemTest, SettingsThatCannotComposeAFreeField) {
  using P = FreeFieldProblem;
  const struct {
    const char* bank;
    const char* carteira_ext;
    const char* identificacao_sr;
    const char* conta;
    P expected;
    const char* why;
  } rows[] = {
      {"033", "101", "1234567", "1", P::kNone, "Santander ECR"},
      {"033", "102", "1234567", "1", P::kNone, "Santander CSR"},
      {"033", "201", "1234567", "1", P::kUnsupportedPortfolio, "Santander 201"},
      {"033", "", "1234567", "1", P::kUnsupportedPortfolio, "Santander without portfolio row"},
      {"033", "101 ", "1234567", "1", P::kUnsupportedPortfolio, "the code is compared exactly"},
      {"399", "CNR", "1234567", "1", P::kNone, "HSBC CNR"},
      {"399", "CSB", "12345", "1", P::kNone, "HSBC CSB"},
      {"399", "cnr", "1234567", "1", P::kUnsupportedPortfolio, "lower case"},
      {"399", "", "1234567", "1", P::kUnsupportedPortfolio, "no portfolio"},
      {"104", "", "123456", "1", P::kNone, "Caixa six-digit code"},
      {"104", "", "  123456  ", "1", P::kNone, "blanks around the code are trimmed"},
      {"104", "", "0123870000123451", "1", P::kNone, "Caixa sixteen-character code"},
      {"104", "", "12345", "1", P::kBeneficiaryCodeLength, "five"},
      {"104", "", "1234567", "1", P::kBeneficiaryCodeLength, "seven"},
      {"104", "", "", "1", P::kBeneficiaryCodeLength, "none"},
      {"341", "109", "", "12345-6", P::kNone, "Itaú account with digit"},
      {"341", "109", "", " 12345-6 ", P::kNone, "blanks around the account"},
      {"341", "109", "", "12345", P::kAccountWithoutDigit, "no dash"},
      {"341", "109", "", "12345-", P::kAccountWithoutDigit, "dash at the end"},
      {"341", "109", "", "12345- 6", P::kAccountWithoutDigit, "a blank after the dash"},
      {"341", "109", "", "12345-X", P::kAccountWithoutDigit, "a letter after the dash"},
      {"237", "201", "", "12345", P::kNone, "other banks have no such settings"},
      {"999", "", "", "", P::kNone, "an unknown bank is refused elsewhere"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FreeFieldSettingsProblem(row.bank, row.carteira_ext, row.identificacao_sr, row.conta),
              row.expected)
        << row.bank << ": " << row.why;
  }
}

}  // namespace
}  // namespace boleto
