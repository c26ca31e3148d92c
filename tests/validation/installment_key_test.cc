// The normalized installment key and the identification that opens every
// eligibility message.
#include "validation/installment_key.h"

#include <gtest/gtest.h>

namespace boleto {
namespace {

RunParameters Params(std::string unidade, std::string documento, std::string serie,
                     std::string numero, std::string parcela) {
  RunParameters params;
  params.codigo_emp = "01";
  params.codigo_unidade = std::move(unidade);
  params.codigo_documento = std::move(documento);
  params.serie = std::move(serie);
  params.numero = std::move(numero);
  params.parcela = std::move(parcela);
  return params;
}

struct KeyCase {
  const char* what;
  RunParameters params;
  InstallmentKey expected;
};

TEST(NormalizeInstallmentKey, PadsCutsAndZeroFillsEachColumn) {
  const KeyCase cases[] = {
      // Short fields are blank-padded to the CHAR widths 8, 10, 3, 8.
      {"short fields",
       Params("01", "DUP", "1", "4567", "2"),
       {"01", "01      ", "DUP       ", "1  ", "4567    ", "02"}},
      // Fields taken from a full argument text already have their widths.
      {"full widths",
       Params("01      ", "DUP       ", "1  ", "4567    ", "12"),
       {"01", "01      ", "DUP       ", "1  ", "4567    ", "12"}},
      // Longer texts are cut on the right.
      {"long fields",
       Params("123456789", "ABCDEFGHIJK", "ABCD", "123456789", "123"),
       {"01", "12345678", "ABCDEFGHIJ", "ABC", "12345678", "23"}},
      // The installment keeps the last two characters of "00" + field.
      {"parcela 7",
       Params("01", "DUP", "1", "4567", "7"),
       {"01", "01      ", "DUP       ", "1  ", "4567    ", "07"}},
      {"parcela 7 blank",
       Params("01", "DUP", "1", "4567", "7 "),
       {"01", "01      ", "DUP       ", "1  ", "4567    ", "7 "}},
      {"empty fields",
       Params("", "", "", "", ""),
       {"01", "        ", "          ", "   ", "        ", "00"}},
      // Leading blanks are part of the key, not removed.
      {"leading blanks",
       Params(" 1", " DUP", " 1", " 45", " 3"),
       {"01", " 1      ", " DUP      ", " 1 ", " 45     ", " 3"}},
      // Widths count characters, as the argument text does: "CRÉDITO" is 7
      // characters (8 bytes) and gets 3 blanks, not 2.
      {"accented letters padded",
       Params("SÃO", "CRÉDITO", "Ç", "Nº12", "É"),
       {"01", "SÃO     ", "CRÉDITO   ", "Ç  ", "Nº12    ", "0É"}},
      // ... and are cut after whole characters, never inside one.
      {"accented letters cut",
       Params("ÁÉÍÓÚÇÃÕÂ", "AÇÃOÇÃOÇÃOX", "ÇÇÇÇ", "ÊÊÊÊÊÊÊÊÊ", "ÚÚÚ"),
       {"01", "ÁÉÍÓÚÇÃÕ", "AÇÃOÇÃOÇÃO", "ÇÇÇ", "ÊÊÊÊÊÊÊÊ", "ÚÚ"}},
      // A byte that starts no UTF-8 sequence is a character of its own.
      {"stray Latin-1 byte",
       Params("S\xC3O", "\xE9", "\xE9\xE9\xE9\xE9", "1", "\xE9"),
       {"01", "S\xC3O     ", "\xE9         ", "\xE9\xE9\xE9", "1       ", "0\xE9"}},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.what);
    InstallmentKey key = NormalizeInstallmentKey(c.params);
    EXPECT_EQ(key.codigo_emp, c.expected.codigo_emp);
    EXPECT_EQ(key.codigo_unidade, c.expected.codigo_unidade);
    EXPECT_EQ(key.codigo_documento, c.expected.codigo_documento);
    EXPECT_EQ(key.serie, c.expected.serie);
    EXPECT_EQ(key.numero, c.expected.numero);
    EXPECT_EQ(key.parcela, c.expected.parcela);
  }
}

TEST(NormalizeInstallmentKey, KeepsTheCompanyAsRead) {
  RunParameters params = Params("01", "DUP", "1", "4567", "2");
  params.codigo_emp = "1";
  EXPECT_EQ(NormalizeInstallmentKey(params).codigo_emp, "1");
  params.codigo_emp = "01' OR '1'='1";
  EXPECT_EQ(NormalizeInstallmentKey(params).codigo_emp, "01' OR '1'='1");
}

TEST(MessagePrefix, TrimsDocumentAndSeriesButNotTheNumber) {
  struct Case {
    RunParameters params;
    const char* expected;
  } cases[] = {
      // Document 123, series 1, number 4567, installment 2.
      {Params("01", "123", "1", "4567", "2"), "Documento: 123 1 4567    /02"},
      {Params("01", "DUPLICATA", "ABC", "12345678", "10"), "Documento: DUPLICATA ABC 12345678/10"},
      // Only trailing blanks go; a leading blank stays.
      {Params("01", " 12", " 1", "1", "7 "), "Documento:  12  1 1       /7 "},
      // Empty document and series leave their separating blanks.
      {Params("01", "", "", "", ""),
       "Documento:   "
       "        /00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessagePrefix(NormalizeInstallmentKey(c.params)), c.expected);
  }
}

}  // namespace
}  // namespace boleto
