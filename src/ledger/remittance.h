// The remittance row: an installment queued in REMESSAR for the bank's EDI
// remittance file, written as one INSERT of 26 columns in its own
// transaction. The occurrence date and time are the server's, evaluated by
// the statement; the other values come from the record and the run.
#pragma once

#include <string>

#include "platform/currency.h"
#include "platform/status.h"
#include "run/run_context.h"

namespace boleto {

// The values of one REMESSAR row; texts are written as they stand, dates are
// "DDMMYYYY" texts.
struct RemittanceRecord {
  std::string codigo_unidade;
  std::string codigo_documento;
  std::string serie;
  std::string numero;
  std::string parcela;
  std::string ocorrencia;  // occurrence code, "REMESBS   " for a printed boleto
  std::string emissao;     // issue date, DDMMYYYY
  std::string vencimento;  // due date, DDMMYYYY
  std::string banco_cobranca;
  std::string agencia_cobranca;
  std::string conta_cobranca;
  Currency valor;
  Currency valor_multa;
  Currency percentual_multa;
  Currency percentual_juros;
  Currency valor_desconto;
  Currency percentual_desconto;
  std::string id_bancaria;   // bank reference, as stored on the installment
  std::string ref_bancaria;  // number of the "REFBANCAR " sequence
  std::string codigo_carteira;
  std::string emite_boleta_banco;  // "N": the bank does not issue the boleto
};

// Message shown (exclamation icon) when another user holds the table.
inline constexpr char kRecordLockedMessage[] =
    "Impossível gravar dados, Registro está bloqueado por outro usuário";
// Context of the error report of a failed remittance write.
inline constexpr char kRemittanceErrorContext[] = "Erro atualizando registro para remessa EDI";

// The INSERT statement of `record` for the run's company, user and dialect;
// an error when a date or an amount cannot be rendered.
Result<std::string> RemittanceInsertSql(const RunContext& ctx, const RemittanceRecord& record);

// Writes the row, unless the record's bank reference is blank (then nothing
// is written and the result is ok). A lock conflict shows
// kRecordLockedMessage, any other failure the error report with
// kRemittanceErrorContext; both return the error.
Status InsertRemittanceRecord(RunContext& ctx, const RemittanceRecord& record);

// Shows the lock-conflict message; the recording steps use it for every
// lock conflict they meet, and then return the conflict.
void ShowRecordLocked(RunContext& ctx);

// Shows a recording failure: kRecordLockedMessage for a lock conflict, the
// error report with `context` for any other error. Returns `error`.
Error ReportRecordingFailure(RunContext& ctx, const Error& error, std::string_view context);

}  // namespace boleto
