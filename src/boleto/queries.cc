#include "boleto/queries.h"

#include "db/sql_text.h"
#include "ledger/withheld_taxes.h"

namespace boleto {

std::string InstallmentQuery(Dialect dialect, const InstallmentKey& key) {
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
         "  AND  PARCELAR.NUMERO          = '" +
         SqlQuote(key.numero) +
         "' "
         "  AND  PARCELAR.PARCELA         = '" +
         SqlQuote(key.parcela) +
         "' "
         "  AND  PARCELAR.RECEBIMENTO     IS NULL "
         "  AND  PARCELAR.CODIGOEMP       = DOCUMENTOR.CODIGOEMP "
         "  AND  PARCELAR.CODIGOUNIDADE   = DOCUMENTOR.CODIGOUNIDADE "
         "  AND  PARCELAR.CODIGODOCUMENTO = DOCUMENTOR.CODIGODOCUMENTO "
         "  AND  PARCELAR.SERIE           = DOCUMENTOR.SERIE "
         "  AND  PARCELAR.NUMERO          = DOCUMENTOR.NUMERO "
         "  AND  DOCUMENTOR.STATUS       <> 'C ' "
         "  AND  DOCUMENTOR.TipoEmpresa   = SUPAEMPR.AEMPR_TIPO "
         "  AND  DOCUMENTOR.CodigoEmpresa = SUPAEMPR.AEMPR_CODIGO "
         " AND NOT EXISTS "
         " ( SELECT * FROM REMESSAR "
         "   Where CodigoEmp=PARCELAR.CodigoEmp AND CodigoUnidade=PARCELAR.CodigoUnidade AND "
         "CodigoDocumento=PARCELAR.CodigoDocumento AND "
         "   Serie=PARCELAR.Serie AND Numero=PARCELAR.Numero AND Parcela=PARCELAR.Parcela  AND "
         "DataProcesso is not null) "
         " ORDER BY 1,2,3,4,5,6 ";
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
  return "SELECT COUNT(*) AS QtdParcelas FROM PARCELAR "
         " WHERE CODIGOEMP     = '" +
         SqlQuote(key.codigo_emp) +
         "' "
         " AND CODIGOUNIDADE   = '" +
         SqlQuote(key.codigo_unidade) +
         "' "
         " AND CODIGODOCUMENTO = '" +
         SqlQuote(key.codigo_documento) +
         "' "
         " AND SERIE           = '" +
         SqlQuote(key.serie) +
         "' "
         " AND NUMERO          = '" +
         SqlQuote(key.numero) + "' ";
}

}  // namespace boleto
