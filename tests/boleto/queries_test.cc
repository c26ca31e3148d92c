#include "boleto/queries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "validation/eligibility.h"

namespace boleto {
namespace {

// The open installments of a company with every filter: unit and document
// padded to their key widths, the quote of a value doubled, the due dates as
// the dialect's literals with the last day included through the day after.
TEST(OpenInstallmentsQuery, EveryFilterInTheDialectsSql) {
  InstallmentFilter filter;
  filter.codigo_emp = "0'";
  filter.codigo_unidade = "02";
  filter.codigo_documento = "NFS";
  filter.banco_cobranca = "001";
  filter.due_from = Date::FromYmd(2027, 1, 1);
  filter.due_to = Date::FromYmd(2027, 1, 31);
  const Result<std::string> sql = OpenInstallmentsQuery(Dialect::kPostgresql, filter);
  ASSERT_TRUE(sql.ok()) << sql.error().description;
  EXPECT_EQ(*sql,
            "SELECT PARCELAR.CodigoEmp       AS CodigoEmp,        PARCELAR.CodigoUnidade   AS "
            "CodigoUnidade,        PARCELAR.CodigoDocumento AS CodigoDocumento,        "
            "PARCELAR.Serie           AS Serie,        PARCELAR.Numero          AS Numero,        "
            "PARCELAR.Parcela         AS Parcela  FROM PARCELAR, DOCUMENTOR  WHERE "
            "PARCELAR.CODIGOEMP       = '0'''   AND  PARCELAR.CODIGOUNIDADE   = '02      '   AND  "
            "PARCELAR.CODIGODOCUMENTO = 'NFS       '   AND  PARCELAR.BANCOCOBRANCA   = '001'   "
            "AND  PARCELAR.VENCIMENTO     >= DATE '2027-01-01'   AND  PARCELAR.VENCIMENTO     < "
            "DATE '2027-02-01'   AND  PARCELAR.RECEBIMENTO     IS NULL   AND  PARCELAR.CODIGOEMP "
            "      = DOCUMENTOR.CODIGOEMP   AND  PARCELAR.CODIGOUNIDADE   = "
            "DOCUMENTOR.CODIGOUNIDADE   AND  PARCELAR.CODIGODOCUMENTO = DOCUMENTOR.CODIGODOCUMENTO "
            "  AND  PARCELAR.SERIE           = DOCUMENTOR.SERIE   AND  PARCELAR.NUMERO          = "
            "DOCUMENTOR.NUMERO   AND  DOCUMENTOR.STATUS       <> 'C '  AND NOT EXISTS  ( SELECT * "
            "FROM REMESSAR    Where CodigoEmp=PARCELAR.CodigoEmp AND "
            "CodigoUnidade=PARCELAR.CodigoUnidade AND CodigoDocumento=PARCELAR.CodigoDocumento AND "
            "   Serie=PARCELAR.Serie AND Numero=PARCELAR.Numero AND Parcela=PARCELAR.Parcela  AND "
            "DataProcesso is not null)  ORDER BY 1,2,3,4,5,6 ");

  // The last day is included: the range ends before the day after it.
  InstallmentFilter company;
  company.codigo_emp = "01";
  company.due_to = Date::FromYmd(2026, 12, 31);
  const Result<std::string> sqlite = OpenInstallmentsQuery(Dialect::kSqlite, company);
  ASSERT_TRUE(sqlite.ok());
  EXPECT_NE(sqlite->find("  AND  PARCELAR.VENCIMENTO     < '2027-01-01' "), std::string::npos);
}

// The queries a batch reads many installments with name their documents by
// key and number as well as through the join, so that the server need not
// read every document of the series; one installment's query has no such
// part, as a single run has always written it.
TEST(ManyInstallmentsQueries, NameTheirDocumentsByKeyOneInstallmentsDoNot) {
  const InstallmentKey key{"01", "01      ", "DM        ", "1  ", "1001    ", "01"};
  const std::vector<std::string> numeros{"1001    ", "1002    "};
  const std::vector<std::string> parcelas{"01"};
  const std::string documents =
      "  AND  DOCUMENTOR.CODIGOEMP       = '01'   AND  DOCUMENTOR.CODIGOUNIDADE   = '01      ' "
      "  AND  DOCUMENTOR.CODIGODOCUMENTO = 'DM        '   AND  DOCUMENTOR.SERIE           = "
      "'1  '   AND  DOCUMENTOR.NUMERO          IN ('1001    ', '1002    ') ";
  const struct {
    const char* query;
    std::string one;
    std::string many;
  } cases[] = {
      {"installment", InstallmentQuery(Dialect::kPostgresql, key),
       InstallmentQuery(Dialect::kPostgresql, key, numeros, parcelas)},
      {"eligibility",
       EligibilityInstallmentQuery(key, std::span(&key.numero, 1), std::span(&key.parcela, 1)),
       EligibilityInstallmentQuery(key, numeros, parcelas)},
  };
  for (const auto& c : cases) {
    EXPECT_NE(c.many.find(documents), std::string::npos) << c.query << ": " << c.many;
    EXPECT_EQ(c.one.find("DOCUMENTOR.NUMERO          "), std::string::npos) << c.query;
  }
}

}  // namespace
}  // namespace boleto
