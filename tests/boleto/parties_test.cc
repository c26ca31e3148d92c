#include "boleto/parties.h"

#include <gtest/gtest.h>

#include <string>

namespace boleto {
namespace {

struct LayoutCase {
  std::string input;
  std::string expected;
  const char* why;
};

TEST(Parties, FormatCnpjTakesCharactersTwoToFifteen) {
  const LayoutCase cases[] = {
      {"012345678000195", "12.345.678/0001-95", "registry CNPJ with its leading digit"},
      {"0" + std::string("11222333000181"), "11.222.333/0001-81",
       "beneficiary's 14 digits with the 0 put in front print in full"},
      {"11222333000181", "12.223.330/0018-1", "14 digits without the 0 lose the first"},
      {"9123456780001951", "12.345.678/0001-95", "a 16th character is not read"},
      {"0123", "12.3./-", "short input: separators, missing characters left out"},
      {"", "../-", "empty input: separators only"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatCnpj(c.input), c.expected) << c.why;
}

TEST(Parties, FormatCpfTakesCharactersOneToEleven) {
  const LayoutCase cases[] = {
      {"12345678909", "123.456.789-09", "11-digit CPF"},
      {"123456789091", "123.456.789-09", "a 12th character is not read"},
      {"1234", "123.4.-", "short input"},
      {"", "..-", "empty input"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatCpf(c.input), c.expected) << c.why;
}

TEST(Parties, PostalCodeIsPaddedToEightAndSplitAfterTheFifth) {
  const LayoutCase cases[] = {
      {"01310100", "01310-100", "eight digits unchanged"},
      {"1234567", "01234-567", "seven digits get a leading zero"},
      {"", "00000-000", "an empty code prints zeros"},
      {"123456789", "23456-789", "only the rightmost eight are kept"},
  };
  for (const auto& c : cases) EXPECT_EQ(PostalCodeText(c.input), c.expected) << c.why;
}

TEST(Parties, StreetNumberMask) {
  const LayoutCase cases[] = {
      {"123", "123", "plain number"},        {"0", "", "zero prints nothing"},
      {"007", "7", "no leading zeros"},      {"45.0", "45", "a driver's decimal rendering"},
      {" 12 ", "12", "blanks around"},       {"", "", "empty"},
      {"S/N", "S/N", "no number: as it is"}, {"-5", "-5", "sign kept"},
  };
  for (const auto& c : cases) EXPECT_EQ(StreetNumberText(c.input), c.expected) << c.why;
}

TEST(Parties, PayerLines) {
  Payer p;
  p.name = "  JOSÉ DA CONCEIÇÃO  ";
  p.tax_id = "123.456.789-09";
  p.street = " RUA DAS FLORES ";
  p.number_text = "";
  p.complement = "APTO 3  ";
  p.district = "CENTRO ";
  p.city = " SÃO PAULO";
  p.state = "SP";
  p.postal_code_text = "01234-567";
  EXPECT_EQ(p.Line1(), "JOSÉ DA CONCEIÇÃO - 123.456.789-09");
  // A street number 0 prints nothing between "," and "/"; the complement is
  // kept untrimmed.
  EXPECT_EQ(p.Line2(), "RUA DAS FLORES,/APTO 3  ");
  EXPECT_EQ(p.Line3(), "CENTRO-SÃO PAULO-SP CEP:01234-567");

  const Payer none;
  EXPECT_EQ(none.Line1(), " - ");
  EXPECT_EQ(none.Line2(), ",/");
  EXPECT_EQ(none.Line3(), "-- CEP:");
}

TEST(Parties, QueriesQuoteTheirValues) {
  EXPECT_EQ(BeneficiaryQuery("0'"),
            "SELECT CGC, ENDERECO, BAIRRO, CIDADE, ESTADO FROM EMPRESA WHERE  Codigo  = '0''' ");
  // No blank between the customer code's closing quote and "AND".
  EXPECT_EQ(PayerAddressQuery("J", "O'B", "02"),
            "SELECT AEMPR_RAZAO_SOCIAL As NOME,        AENDR_CGC          As CGC,        "
            "AENDR_CPF          As CPF,        AENDR_CGC_CPF      AS CGCCPF,        "
            "AENDR_RUA_AV       As Rua,        AENDR_NRO          As Numero,        "
            "AENDR_COMPL        As Complemento,        AENDR_BAIRRO_DIST  As Bairro,        "
            "AENDR_CEP          As Cep,        AENDR_CIDADE       As Cidade,        "
            "AENDR_ESTADO       As UF FROM   SUPAEMPR, SUPAENDR WHERE  AEMPR_TIPO   = 'J' "
            "AND    AEMPR_CODIGO = 'O''B'AND    AEMPR_TIPO = AENDR_TIPO_EMPR AND    "
            "AEMPR_CODIGO = AENDR_CODIGO AND    AENDR_NUM_ENDER = '02'");
  EXPECT_EQ(PayerRegistryQuery("F", "123"),
            "SELECT AEMPR_RAZAO_SOCIAL As NOME,        AEMPR_CGC          As CGC,        "
            "AEMPR_CPF          As CPF,        AEMPR_CGC_CPF      AS CGCCPF,        "
            "AEMPR_RUA_AV       As Rua,        AEMPR_NRO          As Numero,        "
            "AEMPR_COMPL        As Complemento,        AEMPR_BAIRRO_DIST  As Bairro,        "
            "AEMPR_CEP          As Cep,        AEMPR_CIDADE       As Cidade,        "
            "AEMPR_ESTADO       As UF FROM   SUPAEMPR WHERE  AEMPR_TIPO   = 'F' AND    "
            "AEMPR_CODIGO = '123'");
}

}  // namespace
}  // namespace boleto
