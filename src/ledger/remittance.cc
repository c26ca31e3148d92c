#include "ledger/remittance.h"

#include "db/dialect.h"
#include "db/sql_text.h"
#include "platform/amount_text.h"

namespace boleto {
namespace {

// MatrEnvio, the user who sends the remittance, is filled when it is sent.
constexpr char kNotYetSent[] = "               ";  // 15 blanks

// "'value', "
std::string Quoted(std::string_view value) { return "'" + SqlQuote(value) + "', "; }

}  // namespace

void ShowRecordLocked(RunContext& ctx) {
  ctx.messages->Show(kRecordLockedMessage, MessageIcon::kExclamation);
}

Error ReportRecordingFailure(RunContext& ctx, const Error& error, std::string_view context) {
  if (IsRecordLocked(error)) {
    ShowRecordLocked(ctx);
  } else {
    ReportError(*ctx.messages, error, context);
  }
  return error;
}

Result<std::string> RemittanceInsertSql(const RunContext& ctx, const RemittanceRecord& record) {
  const Dialect dialect = ctx.dialect;
  BOLETO_ASSIGN_OR_RETURN(const std::string emissao, SqlDateLiteral(dialect, record.emissao));
  BOLETO_ASSIGN_OR_RETURN(const std::string vencimento, SqlDateLiteral(dialect, record.vencimento));

  const Currency amounts[] = {record.valor,
                              record.valor_multa,
                              record.percentual_multa,
                              record.percentual_juros,
                              record.valor_desconto,
                              record.percentual_desconto};
  std::string amount_values;
  for (const Currency& amount : amounts) {
    BOLETO_ASSIGN_OR_RETURN(const std::string text, SqlDecimalText(amount, ctx.decimal_mark));
    amount_values += " " + text + " , ";
  }

  std::string sql = "INSERT INTO REMESSAR ( ";
  sql +=
      "CodigoEmp, CodigoUnidade, CodigoDocumento, Serie, Numero, Parcela, Ocorrencia, "
      "DataOcorrencia, HoraOcorrencia, Emissao, Vencimento, BancoCobranca, AgenciaCobranca, "
      "ContaCobranca, Valor, ValorMulta, PercentualMulta, PercentualJuros, ValorDesconto, "
      "PercentualDesconto, IDBancaria, RefBancaria, CodigoCarteira, EmiteBoletaBanco, MatrSel, "
      "MatrEnvio ";
  sql += ") VALUES ( ";
  sql += Quoted(ctx.params.codigo_emp);
  sql += Quoted(record.codigo_unidade);
  sql += Quoted(record.codigo_documento);
  sql += Quoted(record.serie);
  sql += Quoted(record.numero);
  sql += Quoted(record.parcela);
  sql += Quoted(record.ocorrencia);
  sql += " " + SqlCurrentDate(dialect) + " , ";
  sql += " " + SqlCurrentTime(dialect) + " , ";
  sql += " " + emissao + ", ";
  sql += " " + vencimento + ", ";
  sql += Quoted(record.banco_cobranca);
  sql += Quoted(record.agencia_cobranca);
  sql += Quoted(record.conta_cobranca);
  sql += amount_values;
  sql += Quoted(record.id_bancaria);
  sql += Quoted(record.ref_bancaria);
  sql += Quoted(record.codigo_carteira);
  sql += Quoted(record.emite_boleta_banco);
  sql += Quoted(ctx.params.matr_sel);
  sql += "'" + std::string(kNotYetSent) + "' ";
  sql += " )";
  return sql;
}

Status InsertRemittanceRecord(RunContext& ctx, const RemittanceRecord& record) {
  // Without a bank reference the bank could not match the payment.
  if (record.id_bancaria.find_first_not_of(' ') == std::string::npos) return Status::Ok();

  Result<std::string> sql = RemittanceInsertSql(ctx, record);
  Status status = sql.status();
  if (sql.ok()) status = ctx.db->Execute(*sql).status();
  if (status.ok()) return status;
  return ReportRecordingFailure(ctx, status.error(), kRemittanceErrorContext);
}

}  // namespace boleto
