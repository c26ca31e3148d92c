#include "boleto/amounts.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace boleto {
namespace {

Currency Cy(int64_t units, int64_t cents = 0) { return Currency::FromCents(units * 100 + cents); }

Date D(int y, int m, int d) { return *Date::FromYmd(y, m, d); }

InstallmentAmounts Installment() {
  InstallmentAmounts in;
  in.resultado = Cy(1000);
  in.moeda = "R$   ";  // CHAR-padded currency code: trailing blanks are cut in the lines
  in.emissao = D(2026, 3, 1);
  in.vencimento = D(2026, 3, 31);
  return in;
}

BankSettings Bank(std::string code = "341") {
  BankSettings bank;
  bank.banco_cobranca = std::move(code);
  bank.desconto_bol = "S";
  bank.juros_bol = "S";
  bank.multa_bol = "S";
  bank.desp_banc_bol = "N";
  bank.alt_data_ante_bol = "N";
  bank.instrucao1_text = "Não receber após 30 dias";
  bank.instrucao2_text = "Protestar após 5 dias úteis";
  return bank;
}

using Lines = std::array<std::string, 7>;

TEST(BoletoAmounts, PercentagesAreTakenOfTheBaseWithFeeAndWithoutTaxes) {
  // Gross 1.000,00, taxes 100,00, fee 5,00: base 905,00; 2 % of it is 18,10.
  InstallmentAmounts in = Installment();
  in.impostos = Cy(100);
  in.percentual_desconto = Cy(2);
  BankSettings bank = Bank();
  bank.val_desp_cob = Cy(5);
  bank.desp_banc_bol = "S";

  auto r = ComputeBoletoAmounts(in, bank, "R$");
  ASSERT_TRUE(r.ok()) << r.error().description;
  EXPECT_EQ(r->base_amount, Cy(905));
  EXPECT_EQ(r->discount_amount, Cy(18, 10));
  EXPECT_EQ(r->amount_due, Cy(886, 90));
  EXPECT_EQ(r->amount_due_text, "886,90");
  EXPECT_EQ(r->value_text, "1.000,00");
  EXPECT_FALSE(r->discount_limit_date.has_value());
  EXPECT_EQ(r->instruction_lines,
            (Lines{"Valor Principal de R$ 1.000,00 Imp.Ret.na Fonte de R$ 100,00",
                   "Desconto até o vencimento de R$ 18,10", "Taxa Bancária de R$ 5,00", "", "",
                   "Não receber após 30 dias", "Protestar após 5 dias úteis"}));
}

// The anticipation rule: where the limit date falls decides whether the
// discount still holds on the due date (31/03/2026; issued 01/03/2026).
struct AnticipationCase {
  const char* why;
  std::string data_ante_bol;
  std::string alt_data_ante_bol;
  int16_t antecipa_bol;
  std::optional<Date> limit;  // expected DiscountLimitDate
  Currency amount_due;
  std::string discount_line;
};

class Anticipation : public ::testing::TestWithParam<AnticipationCase> {};

TEST_P(Anticipation, DecidesLimitDateDeductionAndWording) {
  const AnticipationCase& c = GetParam();
  InstallmentAmounts in = Installment();
  in.valor_desconto = Cy(50);
  BankSettings bank = Bank();
  bank.data_ante_bol = c.data_ante_bol;
  bank.alt_data_ante_bol = c.alt_data_ante_bol;
  bank.antecipa_bol = c.antecipa_bol;

  auto r = ComputeBoletoAmounts(in, bank, "R$");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->discount_limit_date, c.limit) << c.why;
  EXPECT_EQ(r->amount_due, c.amount_due) << c.why;
  EXPECT_EQ(r->instruction_lines[1], c.discount_line) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    BoletoAmounts, Anticipation,
    ::testing::Values(
        // 01/03 + 30 days = 31/03, on the due date: the discount holds, deducted.
        AnticipationCase{"from issue, limit on the due date", "E", "S", 30, D(2026, 3, 31), Cy(950),
                         "Desconto até 31/03/2026 de R$ 50,00"},
        // 01/03 + 45 days = 15/04, after the due date: deducted.
        AnticipationCase{"from issue, limit after the due date", "E", "S", 45, D(2026, 4, 15),
                         Cy(950), "Desconto até 15/04/2026 de R$ 50,00"},
        // 01/03 + 10 days = 11/03, before the due date: announced, not deducted.
        AnticipationCase{"from issue, limit before the due date", "E", "S", 10, D(2026, 3, 11),
                         Cy(1000), "Desconto até 11/03/2026 de R$ 50,00"},
        // 31/03 - 5 days = 26/03: always before the due date, never deducted.
        AnticipationCase{"back from the due date", "V", "S", 5, D(2026, 3, 26), Cy(1000),
                         "Desconto até 26/03/2026 de R$ 50,00"},
        AnticipationCase{"empty setting counts back from the due date", "", "S", 1, D(2026, 3, 30),
                         Cy(1000), "Desconto até 30/03/2026 de R$ 50,00"},
        // Rule off: the discount applies until the due date and is deducted.
        AnticipationCase{"alteration flag off", "E", "N", 10, std::nullopt, Cy(950),
                         "Desconto até o vencimento de R$ 50,00"},
        AnticipationCase{"zero days", "E", "S", 0, std::nullopt, Cy(950),
                         "Desconto até o vencimento de R$ 50,00"},
        AnticipationCase{"negative days", "V", "S", -3, std::nullopt, Cy(950),
                         "Desconto até o vencimento de R$ 50,00"}));

TEST(BoletoAmounts, NegativeTaxesAreNoTaxesOnLineOneButStillSubtracted) {
  InstallmentAmounts in = Installment();
  in.impostos = Cy(-10);
  auto r = ComputeBoletoAmounts(in, Bank(), "R$");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->base_amount, Cy(1010));
  EXPECT_EQ(r->amount_due_text, "1.010,00");
  EXPECT_EQ(r->instruction_lines[0], "Valor Principal de R$ 1.000,00");
}

TEST(BoletoAmounts, OnlyThePrincipalLineWithoutOtherAmounts) {
  auto r = ComputeBoletoAmounts(Installment(), Bank(), "R$");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->instruction_lines,
            (Lines{"Valor Principal de R$ 1.000,00", "", "", "", "", "Não receber após 30 dias",
                   "Protestar após 5 dias úteis"}));
  EXPECT_EQ(r->amount_due, Cy(1000));
  EXPECT_EQ(r->discount_amount, Currency());
  EXPECT_EQ(r->daily_interest_amount, Currency());
  EXPECT_EQ(r->fine_amount, Currency());
}

TEST(BoletoAmounts, DiscountInterestAndFineFillLinesTwoToFour) {
  InstallmentAmounts in = Installment();
  in.valor_desconto = Cy(10);
  in.percentual_juros = Currency::FromRaw(3300);  // 0,33 % a day of 1.000,00 = 3,30
  in.percentual_multa = Cy(2);                    // 2 % of 1.000,00 = 20,00
  in.valor_multa = Cy(1, 50);                     // plus 1,50
  auto r = ComputeBoletoAmounts(in, Bank(), "R$");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->instruction_lines,
            (Lines{"Valor Principal de R$ 1.000,00", "Desconto até o vencimento de R$ 10,00",
                   "Após vencimento juros diários de R$ 3,30", "Após vencimento multa de R$ 21,50",
                   "", "Não receber após 30 dias", "Protestar após 5 dias úteis"}));
  EXPECT_EQ(r->amount_due, Cy(990));
}

TEST(BoletoAmounts, AllConditionalLinesInTheirOrder) {
  InstallmentAmounts in = Installment();
  in.impostos = Cy(15, 5);
  in.valor_outro_d = Cy(20);
  in.valor_outro_c = Cy(1234, 56);
  in.percentual_desconto = Cy(1);
  in.percentual_juros = Cy(0, 10);
  in.valor_multa = Cy(7);
  BankSettings bank = Bank();
  bank.val_desp_cob = Cy(3, 25);
  bank.desp_banc_bol = "S";
  auto r = ComputeBoletoAmounts(in, bank, "R$");
  ASSERT_TRUE(r.ok());
  // Base = 1.000,00 - 15,05 - 20,00 + 1.234,56 + 3,25 = 2.202,76;
  // 1 % = 22,0276 (printed 22,03); 0,10 % = 2,20276 -> 2,2028 (printed 2,20).
  EXPECT_EQ(r->base_amount, Cy(2202, 76));
  EXPECT_EQ(r->discount_amount, Currency::FromRaw(220276));
  EXPECT_EQ(r->daily_interest_amount, Currency::FromRaw(22028));
  EXPECT_EQ(r->amount_due_text, "2.180,73");  // 2.202,76 - 22,0276 = 2.180,7324
  EXPECT_EQ(
      r->instruction_lines,
      (Lines{"Valor Principal de R$ 1.000,00 Imp.Ret.na Fonte de R$ 15,05",
             "Out.Abatimentos de R$ 20,00 Out.Acrescimos de R$ 1.234,56",
             "Desconto até o vencimento de R$ 22,03", "Após vencimento juros diários de R$ 2,20",
             "Após vencimento multa de R$ 7,00 Taxa Bancária de R$ 3,25",
             "Não receber após 30 dias", "Protestar após 5 dias úteis"}));
}

struct OtherAmountsCase {
  Currency outro_d, outro_c;
  std::string line;
};

TEST(BoletoAmounts, DeductionsAndAdditionsAloneOrTogether) {
  const OtherAmountsCase cases[] = {
      {Cy(5), Currency(), "Out.Abatimentos de R$ 5,00"},
      {Currency(), Cy(6), "Out.Acrescimos de R$ 6,00"},
      {Cy(-5), Cy(6), "Out.Abatimentos de R$ -5,00 Out.Acrescimos de R$ 6,00"},
  };
  for (const auto& c : cases) {
    InstallmentAmounts in = Installment();
    in.valor_outro_d = c.outro_d;
    in.valor_outro_c = c.outro_c;
    auto r = ComputeBoletoAmounts(in, Bank(), "R$");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->instruction_lines[1], c.line);
    EXPECT_EQ(r->instruction_lines[2], "");
  }
}

TEST(BoletoAmounts, FeeWithoutFineHasItsOwnLine) {
  BankSettings bank = Bank();
  bank.val_desp_cob = Cy(2, 50);
  bank.desp_banc_bol = "S";
  bank.multa_bol = "N";
  InstallmentAmounts in = Installment();
  in.valor_multa = Cy(9);  // the fine flag is off: no fine
  auto r = ComputeBoletoAmounts(in, bank, "R$");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->fine_amount, Currency());
  EXPECT_EQ(r->instruction_lines[1], "Taxa Bancária de R$ 2,50");
  EXPECT_EQ(r->amount_due, Cy(1002, 50));  // the fee is part of the base
}

TEST(BoletoAmounts, FlagsOffMeanNoDiscountInterestOrFine) {
  InstallmentAmounts in = Installment();
  in.valor_desconto = Cy(10);
  in.percentual_juros = Cy(1);
  in.valor_multa = Cy(3);
  BankSettings bank = Bank();
  bank.desconto_bol = "s";  // compared exactly: lower case is not "S"
  bank.juros_bol = "N";
  bank.multa_bol = "";
  bank.val_desp_cob = Cy(4);  // fee without DespBancBol = "S": no fee line
  auto r = ComputeBoletoAmounts(in, bank, "R$");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->discount_amount, Currency());
  EXPECT_EQ(r->daily_interest_amount, Currency());
  EXPECT_EQ(r->fine_amount, Currency());
  EXPECT_EQ(r->amount_due, Cy(1004));
  EXPECT_EQ(r->instruction_lines[1], "");
}

// Value box and quantity: blank for banks 001, 399, 237 and 104 when the
// document is in the company's default currency (compared trimmed).
struct ValueBoxCase {
  std::string bank;
  std::string moeda;
  std::string quantity;
  std::string value;
};

TEST(BoletoAmounts, ValueBoxRule) {
  const ValueBoxCase cases[] = {
      {"001", "R$", " ", " "},         {"399", "R$ ", " ", " "},
      {"237", " R$", " ", " "},        {"104", "R$", " ", " "},
      {"001", "US$", "1", "1.000,00"}, {"104", "EUR", "1", "1.000,00"},
      {"341", "R$", "1", "1.000,00"},  {"409", "R$", "1", "1.000,00"},
      {"756", "US$", "1", "1.000,00"},
  };
  for (const auto& c : cases) {
    InstallmentAmounts in = Installment();
    in.moeda = c.moeda;
    auto r = ComputeBoletoAmounts(in, Bank(c.bank), "R$   ");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->quantity_caption, c.quantity) << c.bank << " " << c.moeda;
    EXPECT_EQ(r->value_caption, c.value) << c.bank << " " << c.moeda;
  }
}

TEST(BoletoAmounts, PercentageRoundsTiesToEvenAtFourDecimals) {
  InstallmentAmounts in = Installment();
  in.resultado = Currency::FromRaw(50);  // 0,0050
  in.percentual_juros = Cy(1);           // 1 % = 0,00005: a tie, kept even (0)
  in.percentual_multa = Cy(3);           // 3 % = 0,00015: a tie, rounded to even (0,0002)
  auto r = ComputeBoletoAmounts(in, Bank(), "R$");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->daily_interest_amount, Currency());
  EXPECT_EQ(r->fine_amount, Currency::FromRaw(2));
  EXPECT_EQ(r->instruction_lines[1], "Após vencimento multa de R$ 0,00");
}

TEST(BoletoAmounts, OverflowIsAnError) {
  InstallmentAmounts in = Installment();
  in.resultado = Currency::FromRaw(INT64_MAX - 10);
  in.valor_outro_c = Cy(1);
  auto r = ComputeBoletoAmounts(in, Bank(), "R$");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().number, error_number::kOverflow);

  InstallmentAmounts big = Installment();
  big.resultado = Currency::FromRaw(INT64_MAX / 2);
  big.percentual_multa = Cy(300);
  auto fine = ComputeBoletoAmounts(big, Bank(), "R$");
  ASSERT_FALSE(fine.ok());
  EXPECT_EQ(fine.error().number, error_number::kOverflow);
}

// The amount due is taken to whole cents once, half away from zero as the
// money mask rounds: the page and the barcode then show the same cents.
TEST(BoletoAmounts, AmountDueIsInWholeCents) {
  struct Case {
    int64_t percent_raw;  // PercentualDesctP in ten-thousandths of a percent
    int64_t due_raw;      // amount due in ten-thousandths
    const char* text;
  };
  // 1.000,00 with DescontoBol "S": 1.000,00 less the percentage.
  const Case cases[] = {
      {5000, 9950000, "995,00"},  // 0,5 %: discount 5,0000, whole cents already
      {4255, 9957500, "995,75"},  // 0,4255 %: 995,7450 rounds half up to 995,75
      {4245, 9957600, "995,76"},  // 0,4245 %: 995,7550 rounds half up to 995,76
      {4246, 9957500, "995,75"},  // 0,4246 %: 995,7540 rounds down
  };
  for (const Case& c : cases) {
    InstallmentAmounts in = Installment();
    in.percentual_desconto = Currency::FromRaw(c.percent_raw);
    BankSettings bank = Bank();
    bank.desconto_bol = "S";
    auto out = ComputeBoletoAmounts(in, bank, "R$");
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(out->amount_due, Currency::FromRaw(c.due_raw)) << c.text;
    EXPECT_EQ(out->amount_due_text, c.text);
  }
}

}  // namespace
}  // namespace boleto
