#include "boleto/queries.h"

#include "db/dialect.h"
#include "db/sql_text.h"
#include "ledger/withheld_taxes.h"
#include "platform/characters.h"

namespace boleto {

namespace {

// What makes an installment open, after its own conditions: no receipt
// date, joined to its document, and the document not cancelled.
constexpr char kUnpaidOfOpenDocument[] =
    "  AND  PARCELAR.RECEBIMENTO     IS NULL "
    "  AND  PARCELAR.CODIGOEMP       = DOCUMENTOR.CODIGOEMP "
    "  AND  PARCELAR.CODIGOUNIDADE   = DOCUMENTOR.CODIGOUNIDADE "
    "  AND  PARCELAR.CODIGODOCUMENTO = DOCUMENTOR.CODIGODOCUMENTO "
    "  AND  PARCELAR.SERIE           = DOCUMENTOR.SERIE "
    "  AND  PARCELAR.NUMERO          = DOCUMENTOR.NUMERO "
    "  AND  DOCUMENTOR.STATUS       <> 'C ' ";

// ... and no remittance row of the installment already processed.
constexpr char kNotInProcessedRemittance[] =
    " AND NOT EXISTS "
    " ( SELECT * FROM REMESSAR "
    "   Where CodigoEmp=PARCELAR.CodigoEmp AND CodigoUnidade=PARCELAR.CodigoUnidade AND "
    "CodigoDocumento=PARCELAR.CodigoDocumento AND "
    "   Serie=PARCELAR.Serie AND Numero=PARCELAR.Numero AND Parcela=PARCELAR.Parcela  AND "
    "DataProcesso is not null) ";

// The count's conditions before the document number: company, unit,
// document code and series.
std::string CountWhere(const InstallmentKey& key) {
  return " WHERE CODIGOEMP     = '" + SqlQuote(key.codigo_emp) +
         "' "
         " AND CODIGOUNIDADE   = '" +
         SqlQuote(key.codigo_unidade) +
         "' "
         " AND CODIGODOCUMENTO = '" +
         SqlQuote(key.codigo_documento) +
         "' "
         " AND SERIE           = '" +
         SqlQuote(key.serie) + "' ";
}

}  // namespace

std::string InstallmentQuery(Dialect dialect, const InstallmentKey& key) {
  return InstallmentQuery(dialect, key, std::span(&key.numero, 1), std::span(&key.parcela, 1));
}

std::string InstallmentQuery(Dialect dialect, const InstallmentKey& key,
                             std::span<const std::string> numeros,
                             std::span<const std::string> parcelas) {
  return "SELECT PARCELAR.DoctoRecebimento   AS Ocorrencia, "
         "       PARCELAR.CodigoUnidade      AS Unidade, "
         "       DOCUMENTOR.TipoEmpresa      AS TipoEmpresa, "
         "       DOCUMENTOR.CodigoEmpresa    AS CodigoEmpresa, "
         "       PARCELAR.CodigoDocumento    AS CodigoDocumento, "
         "       PARCELAR.Serie              AS Serie, "
         "       PARCELAR.Numero             AS Numero, "
         "       PARCELAR.Parcela            AS Parcela, "
         "       PARCELAR.Emissao            AS Emissao, "
         "       PARCELAR.Vencimento         AS Vencimento, "
         "       PARCELAR.ValorDescontoP     AS ValorDesconto, "
         "       PARCELAR.PercentualDesctP   AS PercentualDesconto, "
         "       " +
         WithheldTaxesSql(dialect) + " AS Impostos, " + WithheldTaxColumnsSql() +
         "       PARCELAR.ValorOutroD        AS ValorOutroD, "
         "       PARCELAR.PercentualJurosP   AS PercentualJuros, "
         "       PARCELAR.ValorMultaP        AS ValorMulta, "
         "       PARCELAR.PercentualMultaP   AS PercentualMulta, "
         "       PARCELAR.ValorOutroC        AS ValorOutroC, "
         "       DOCUMENTOR.Moeda            AS Moeda, "
         "       PARCELAR.Valor              AS Resultado, "
         "       SUPAEMPR.AEMPR_RAZAO_SOCIAL AS Nome, "
         "       PARCELAR.NumeroRecebimento  AS NumeroRecebimento, "
         "       PARCELAR.BancoCobranca      AS BancoCobranca, "
         "       PARCELAR.AgenciaCobranca    AS AgenciaCobranca, "
         "       PARCELAR.ContaCobranca      AS ContaCobranca, "
         "       PARCELAR.CodigoCarteira     AS CodigoCarteira "
         " FROM DOCUMENTOR, PARCELAR, SUPAEMPR "
         " WHERE PARCELAR.CODIGOEMP       = '" +
         SqlQuote(key.codigo_emp) +
         "' "
         "  AND  PARCELAR.CODIGOUNIDADE   = '" +
         SqlQuote(key.codigo_unidade) +
         "' "
         "  AND  PARCELAR.CODIGODOCUMENTO = '" +
         SqlQuote(key.codigo_documento) +
         "' "
         "  AND  PARCELAR.SERIE           = '" +
         SqlQuote(key.serie) +
         "' "
         "  AND  PARCELAR.NUMERO          " +
         SqlEqualsOrIn(numeros) +
         " "
         "  AND  PARCELAR.PARCELA         " +
         SqlEqualsOrIn(parcelas) + " " +
         DocumentsByKeySql(key.codigo_emp, key.codigo_unidade, key.codigo_documento, key.serie,
                           numeros) +
         kUnpaidOfOpenDocument +
         "  AND  DOCUMENTOR.TipoEmpresa   = SUPAEMPR.AEMPR_TIPO "
         "  AND  DOCUMENTOR.CodigoEmpresa = SUPAEMPR.AEMPR_CODIGO " +
         kNotInProcessedRemittance + " ORDER BY 1,2,3,4,5,6 ";
}

std::string SpeciesQuery(std::string_view codigo_emp, std::string_view banco_cobranca,
                         std::string_view codigo_documento) {
  // No blank between the bank code's closing quote and the next "AND".
  return "SELECT CodigoEspecieB FROM DOCESP "
         "WHERE  CodigoEmp       = '" +
         SqlQuote(codigo_emp) +
         "' "
         "AND    CodigoBanco     = '" +
         SqlQuote(banco_cobranca) +
         "'"
         "AND    CodigoDocumento = '" +
         SqlQuote(codigo_documento) + "'";
}

std::string InstallmentCountQuery(const InstallmentKey& key) {
  return "SELECT COUNT(*) AS QtdParcelas FROM PARCELAR " + CountWhere(key) +
         " AND NUMERO          = '" + SqlQuote(key.numero) + "' ";
}

std::string InstallmentCountsQuery(const InstallmentKey& key,
                                   std::span<const std::string> numeros) {
  return "SELECT NUMERO AS Numero, COUNT(*) AS QtdParcelas FROM PARCELAR " + CountWhere(key) +
         " AND NUMERO          " + SqlEqualsOrIn(numeros) + " GROUP BY NUMERO";
}

Result<std::string> OpenInstallmentsQuery(Dialect dialect, const InstallmentFilter& filter) {
  // Widths of the CHAR key columns the unit and the document are compared to.
  constexpr size_t kUnidadeWidth = 8;
  constexpr size_t kDocumentoWidth = 10;
  std::string sql =
      "SELECT PARCELAR.CodigoEmp       AS CodigoEmp, "
      "       PARCELAR.CodigoUnidade   AS CodigoUnidade, "
      "       PARCELAR.CodigoDocumento AS CodigoDocumento, "
      "       PARCELAR.Serie           AS Serie, "
      "       PARCELAR.Numero          AS Numero, "
      "       PARCELAR.Parcela         AS Parcela "
      " FROM PARCELAR, DOCUMENTOR "
      " WHERE PARCELAR.CODIGOEMP       = '" +
      SqlQuote(filter.codigo_emp) + "' ";
  if (!filter.codigo_unidade.empty()) {
    sql += "  AND  PARCELAR.CODIGOUNIDADE   = '" +
           SqlQuote(CutOrPadRight(filter.codigo_unidade, kUnidadeWidth)) + "' ";
  }
  if (!filter.codigo_documento.empty()) {
    sql += "  AND  PARCELAR.CODIGODOCUMENTO = '" +
           SqlQuote(CutOrPadRight(filter.codigo_documento, kDocumentoWidth)) + "' ";
  }
  if (!filter.banco_cobranca.empty()) {
    sql += "  AND  PARCELAR.BANCOCOBRANCA   = '" + SqlQuote(filter.banco_cobranca) + "' ";
  }
  // The due date as a half-open range (from the first day, before the day
  // after the last) also takes a due date stored with a time of day.
  const auto due = [&](const char* comparison, const Date& date) -> Status {
    BOLETO_ASSIGN_OR_RETURN(const std::string literal,
                            SqlDateLiteral(dialect, date.Format("DDMMYYYY")));
    sql += std::string("  AND  PARCELAR.VENCIMENTO     ") + comparison + " " + literal + " ";
    return Status::Ok();
  };
  if (filter.due_from) BOLETO_RETURN_IF_ERROR(due(">=", *filter.due_from));
  if (filter.due_to) BOLETO_RETURN_IF_ERROR(due("<", filter.due_to->AddDays(1)));
  return sql + kUnpaidOfOpenDocument + kNotInProcessedRemittance + " ORDER BY 1,2,3,4,5,6 ";
}

}  // namespace boleto
