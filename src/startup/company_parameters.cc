#include "startup/company_parameters.h"

#include <array>

#include "db/sql_text.h"

namespace boleto {

namespace {

constexpr char kNoCompanyMessage[] = "Verifique parâmetros de conexão e permissão de acesso.";

std::string TrimBlanks(const std::string& value) {
  const size_t first = value.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return value.substr(first, value.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string CompanyParametersSql(std::string_view codigo_emp) {
  return std::string(
             " SELECT EMPRESA.NOME AS NOME, EMPRESA.NOMEABREV AS NOMEABREV, "
             "EMPRESA.MOEDAPADRAO AS MOEDAPADRAO, ") +
         " EMPRESA.ENDCOBRANCA AS ENDCOBRANCA, EMPRESA.ENDPAGAMENTO AS ENDPAGAMENTO, " +
         " EMPRESA.USASAI AS USASAI, EMPRESA.TIPOEMPRESA AS TIPOEMPRESA, "
         "EMPRESA.CODIGOEMPRESA AS CODIGOEMPRESA, " +
         " PARAMIMP.LOCALANEXO AS LOCALANEXO " + " FROM EMPRESA, PARAMIMP " +
         " WHERE EMPRESA.CODIGO = '" + SqlQuote(codigo_emp) + "' ";
}

CompanyOutcome LoadCompanyParameters(RunContext& ctx) {
  Result<RowSet> rows = ctx.db->QuerySetting(CompanyParametersSql(ctx.params.codigo_emp));
  if (!rows.ok()) {
    ReportError(*ctx.messages, rows.error(), "");
    return CompanyOutcome::kErrorReported;
  }
  if (rows->eof()) {
    ctx.messages->Show(kNoCompanyMessage, MessageIcon::kNone);
    return CompanyOutcome::kNoRow;
  }
  // Every column is read, in this order, and must not be NULL; only four of
  // them are kept for the run.
  struct Column {
    const char* name;
    std::string* keep;
  };
  std::string local_anexo;
  const std::array<Column, 9> columns = {{
      {"Nome", &ctx.company.nome},
      {"NomeAbrev", nullptr},
      {"MoedaPadrao", &ctx.company.moeda_padrao},
      {"EndCobranca", &ctx.company.end_cobranca},
      {"EndPagamento", nullptr},
      {"TipoEmpresa", nullptr},
      {"CODIGOEMPRESA", nullptr},
      {"UsaSai", nullptr},
      {"LocalAnexo", &local_anexo},
  }};
  for (const Column& column : columns) {
    Result<std::string> value = rows->Text(column.name);
    if (!value.ok()) {
      ReportError(*ctx.messages, value.error(), "");
      return CompanyOutcome::kErrorReported;
    }
    if (column.keep != nullptr) *column.keep = std::move(value).value();
  }
  ctx.company.local_anexo = TrimBlanks(local_anexo);
  return CompanyOutcome::kLoaded;
}

}  // namespace boleto
