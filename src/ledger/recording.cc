#include "ledger/recording.h"

#include "db/amount_text.h"
#include "db/dialect.h"
#include "db/sql_text.h"
#include "ledger/document_number.h"
#include "ledger/remittance.h"
#include "platform/text.h"

namespace boleto {
namespace {

constexpr size_t kBankReferenceWidth = 20;  // PARCELAR.IDBANCARIA and REMESSAR.IDBANCARIA
constexpr char kReferenceSequence[] = "REFBANCAR ";
constexpr char kReceiptDocument[] = "BOL-BANCAR";
constexpr char kRemittanceOccurrence[] = "REMESBS   ";  // a boleto printed by the company
constexpr char kBankReferenceContext[] = "Erro atualizando identificação bancária da parcela";
constexpr char kNoReceipt[] = "          ";  // the 10 blanks of an installment without receipt

// Shows a recording failure: the lock message for a lock conflict, the error
// report with `context` otherwise. Returns the error.
Status Fail(RunContext& ctx, const Error& error, std::string_view context) {
  if (error.number == error_number::kRecordLocked) {
    ShowRecordLocked(ctx);
  } else {
    ReportRunError(ctx, error, context);
  }
  return error;
}

Status ExecuteOrFail(RunContext& ctx, const std::string& sql, std::string_view context) {
  Result<int64_t> executed = ctx.db->Execute(sql);
  if (!executed.ok()) return Fail(ctx, executed.error(), context);
  return Status::Ok();
}

std::string FeeSql(const RunContext& ctx, std::string_view fee) {
  const InstallmentKey& key = ctx.key;
  return "UPDATE PARCELAR SET ValorOutroC = ValorOutroC + " + std::string(fee) + " " +
         "WHERE CodigoEmp        = '" + SqlQuote(key.codigo_emp) + "' " +
         " AND CodigoUnidade     = '" + SqlQuote(key.codigo_unidade) + "' " +
         " AND CodigoDocumento   = '" + SqlQuote(key.codigo_documento) + "' " +
         " AND Serie             = '" + SqlQuote(key.serie) + "' " + " AND Numero            = '" +
         SqlQuote(key.numero) + "' " + " AND Parcela           = '" + SqlQuote(key.parcela) + "'" +
         " AND DoctoRecebimento  = '" + kNoReceipt + "'" + " AND NumeroRecebimento = '" +
         kNoReceipt + "'";
}

std::string BankReferenceSql(std::string_view table, const InstallmentKey& key,
                             std::string_view padded_reference) {
  return "UPDATE " + std::string(table) + " " + " SET IDBancaria     = '" +
         SqlQuote(padded_reference) + "' " + InstallmentWhere(key);
}

std::string RemittanceLookupSql(const InstallmentKey& key) {
  return "SELECT * FROM REMESSAR "
         "WHERE CODIGOEMP       = '" +
         SqlQuote(key.codigo_emp) + "' " + " AND  CODIGOUNIDADE   = '" +
         SqlQuote(key.codigo_unidade) + "' " + " AND  CODIGODOCUMENTO = '" +
         SqlQuote(key.codigo_documento) + "' " + " AND  SERIE           = '" + SqlQuote(key.serie) +
         "' " + " AND  NUMERO          = '" + SqlQuote(key.numero) + "' " +
         " AND  PARCELA         = '" + SqlQuote(key.parcela) + "' ";
}

std::string RemittanceInstallmentSql(const InstallmentKey& key) {
  return std::string("SELECT PARCELAR.CodigoUnidade      AS Unidade, ") +
         "       DOCUMENTOR.TipoEmpresa      AS TipoEmpresa, " +
         "       DOCUMENTOR.CodigoEmpresa    AS CodigoEmpresa, " +
         "       PARCELAR.CodigoDocumento    AS CodigoDocumento, " +
         "       PARCELAR.Serie              AS Serie, " +
         "       PARCELAR.Numero             AS Numero, " +
         "       PARCELAR.Parcela            AS Parcela, " +
         "       PARCELAR.Emissao            AS Emissao, " +
         "       PARCELAR.Vencimento         AS Vencimento, " +
         "       PARCELAR.ValorDescontoP     AS ValorDescontoP, " +
         "       PARCELAR.PercentualDesctP   AS PercentualDesctP, " +
         "       PARCELAR.PercentualJurosP   AS PercentualJurosP, " +
         "       PARCELAR.ValorMultaP        AS ValorMultaP, " +
         "       PARCELAR.PercentualMultaP   AS PercentualMultaP, " +
         "       PARCELAR.CodigoCarteira     AS CodigoCarteira, " +
         "       (PARCELAR.Valor - PARCELAR.ValorIRRF - PARCELAR.ValorINSS - PARCELAR.ValorCSLL - "
         "PARCELAR.ValorCOFINS - PARCELAR.ValorPIS - PARCELAR.ValorISS) AS Valor " +
         " FROM PARCELAR, DOCUMENTOR " + "WHERE PARCELAR.CODIGOEMP       = '" +
         SqlQuote(key.codigo_emp) + "' " + " AND  PARCELAR.CODIGOUNIDADE   = '" +
         SqlQuote(key.codigo_unidade) + "' " + " AND  PARCELAR.CODIGODOCUMENTO = '" +
         SqlQuote(key.codigo_documento) + "' " + " AND  PARCELAR.SERIE           = '" +
         SqlQuote(key.serie) + "' " + " AND  PARCELAR.NUMERO          = '" + SqlQuote(key.numero) +
         "' " + " AND  PARCELAR.PARCELA         = '" + SqlQuote(key.parcela) + "' " +
         " AND  PARCELAR.CODIGOEMP       = DOCUMENTOR.CODIGOEMP " +
         " AND  PARCELAR.CODIGOUNIDADE   = DOCUMENTOR.CODIGOUNIDADE " +
         " AND  PARCELAR.CODIGODOCUMENTO = DOCUMENTOR.CODIGODOCUMENTO " +
         " AND  PARCELAR.SERIE           = DOCUMENTOR.SERIE " +
         " AND  PARCELAR.NUMERO          = DOCUMENTOR.NUMERO " +
         " AND  DOCUMENTOR.Status       <> 'C ' ";
}

// A date column as "DDMMYYYY"; NULL or a text that is no date is an error.
Result<std::string> DateDigits(const RowSet& rows, std::string_view column) {
  Result<std::string> text = rows.Text(column);
  if (!text.ok()) return text.error();
  std::optional<Date> date = Date::ParseIso(*text);
  if (!date) {
    return MakeError(error_number::kTypeMismatch,
                     "Type mismatch: " + std::string(column) + " " + *text);
  }
  return date->Format("DDMMYYYY");
}

Result<Currency> Amount(const RunContext& ctx, const RowSet& rows, std::string_view column) {
  Result<std::string> text = rows.Text(column);
  if (!text.ok()) return text.error();
  return ParseAmount(*text, ctx.decimal_mark);
}

// The remittance row of the installment read by RemittanceInstallmentSql.
Result<RemittanceRecord> ReadRemittanceRecord(const RunContext& ctx, const RowSet& rows) {
  RemittanceRecord record;
  struct TextColumn {
    const char* column;
    std::string* target;
  };
  const TextColumn texts[] = {{"Unidade", &record.codigo_unidade},
                              {"CodigoDocumento", &record.codigo_documento},
                              {"Serie", &record.serie},
                              {"Numero", &record.numero},
                              {"Parcela", &record.parcela}};
  for (const TextColumn& text : texts) {
    Result<std::string> value = rows.Text(text.column);
    if (!value.ok()) return value.error();
    *text.target = *value;
  }
  struct DateColumn {
    const char* column;
    std::string* target;
  };
  const DateColumn dates[] = {{"Emissao", &record.emissao}, {"Vencimento", &record.vencimento}};
  for (const DateColumn& date : dates) {
    Result<std::string> value = DateDigits(rows, date.column);
    if (!value.ok()) return value.error();
    *date.target = *value;
  }
  struct AmountColumn {
    const char* column;
    Currency* target;
  };
  const AmountColumn amounts[] = {{"ValorDescontoP", &record.valor_desconto},
                                  {"PercentualDesctP", &record.percentual_desconto},
                                  {"PercentualJurosP", &record.percentual_juros},
                                  {"ValorMultaP", &record.valor_multa},
                                  {"PercentualMultaP", &record.percentual_multa},
                                  {"Valor", &record.valor}};
  for (const AmountColumn& amount : amounts) {
    Result<Currency> value = Amount(ctx, rows, amount.column);
    if (!value.ok()) return value.error();
    *amount.target = *value;
  }
  record.banco_cobranca = ctx.bank.banco_cobranca;
  record.agencia_cobranca = ctx.bank.agencia_cobranca;
  record.conta_cobranca = ctx.bank.conta_cobranca;
  // The account's portfolio for unregistered boletos, not the installment's.
  record.codigo_carteira = ctx.bank.carteira_sr;
  record.ocorrencia = kRemittanceOccurrence;
  record.emite_boleta_banco = "N";
  return record;
}

}  // namespace

std::string PaddedBankReference(std::string_view id_bancaria) {
  std::string padded(id_bancaria.substr(0, kBankReferenceWidth));
  padded.resize(kBankReferenceWidth, ' ');
  return padded;
}

std::string ReceiptNumber(const InstallmentKey& key) {
  return PadLeftKeepRight(TrimBlanks(key.numero), 8) + PadLeftKeepRight(TrimBlanks(key.parcela), 2);
}

std::string InstallmentWhere(const InstallmentKey& key) {
  return "WHERE CodigoEmp     = '" + SqlQuote(key.codigo_emp) + "' " + "AND CodigoUnidade   = '" +
         SqlQuote(key.codigo_unidade) + "' " + "AND CodigoDocumento = '" +
         SqlQuote(key.codigo_documento) + "' " + "AND Serie           = '" + SqlQuote(key.serie) +
         "' " + "AND Numero          = '" + SqlQuote(key.numero) + "' " +
         "AND Parcela         = '" + SqlQuote(key.parcela) + "'";
}

Status UpdateInstallmentBankReference(RunContext& ctx, std::string_view padded_reference) {
  return ExecuteOrFail(ctx, BankReferenceSql("PARCELAR", ctx.key, padded_reference),
                       kBankReferenceContext);
}

RemittanceOutcome RecordRemittance(RunContext& ctx, std::string_view padded_reference) {
  const InstallmentKey& key = ctx.key;
  Result<RowSet> queued = ctx.db->Query(RemittanceLookupSql(key));
  if (!queued.ok()) return {Fail(ctx, queued.error(), kRemittanceErrorContext), Status::Ok()};

  if (!queued->eof()) {
    // Printed again before the remittance went out: the queued row and the
    // installment take the reference of this print; no new number.
    Status status = ExecuteOrFail(ctx, BankReferenceSql("REMESSAR", key, padded_reference),
                                  kRemittanceErrorContext);
    if (!status.ok()) return {status, Status::Ok()};
    return {ExecuteOrFail(ctx, BankReferenceSql("PARCELAR", key, padded_reference),
                          kRemittanceErrorContext),
            Status::Ok()};
  }

  Result<std::string> number = DrawDocumentNumber(ctx, ctx.params.codigo_emp, kReferenceSequence);
  if (!number.ok()) return {Status::Ok(), number.error()};  // shown by the draw

  Result<RowSet> rows = ctx.db->Query(RemittanceInstallmentSql(key));
  if (!rows.ok()) return {Fail(ctx, rows.error(), kRemittanceErrorContext), Status::Ok()};
  // The document was cancelled meanwhile: nothing to queue; the number drawn
  // stays used.
  if (rows->eof()) return {};

  Result<RemittanceRecord> record = ReadRemittanceRecord(ctx, *rows);
  if (!record.ok()) return {Fail(ctx, record.error(), kRemittanceErrorContext), Status::Ok()};
  record->ref_bancaria = *number;
  record->id_bancaria = std::string(padded_reference);

  Status inserted = InsertRemittanceRecord(ctx, *record);
  if (!inserted.ok()) return {Status::Ok(), inserted};  // shown by the insert

  const std::string sql = "UPDATE PARCELAR " + std::string(" SET RefBancaria    = '") +
                          SqlQuote(*number) + "', " + "     IDBancaria     = '" +
                          SqlQuote(padded_reference) + "' " + InstallmentWhere(key);
  return {ExecuteOrFail(ctx, sql, kRemittanceErrorContext), Status::Ok()};
}

Status RecordPrintedBoleto(RunContext& ctx, const PrintedBoleto& printed) {
  const BankSettings& bank = ctx.bank;

  if (bank.desp_banc_bol == "S" && !bank.val_desp_cob.is_zero()) {
    Result<std::string> fee = SqlDecimalText(bank.val_desp_cob, ctx.decimal_mark);
    if (!fee.ok()) return Fail(ctx, fee.error(), "");
    Status status = ExecuteOrFail(ctx, FeeSql(ctx, *fee), "");
    if (!status.ok()) return status;
  }

  const std::string padded = PaddedBankReference(printed.id_bancaria);
  Status unqueued;
  if (bank.gera_remessa_bol_sr == "S") {
    RemittanceOutcome remittance = RecordRemittance(ctx, padded);
    if (!remittance.stop.ok()) return remittance.stop;
    unqueued = remittance.unqueued;
  } else {
    Status reference = UpdateInstallmentBankReference(ctx, padded);
    if (!reference.ok()) return reference;
  }

  std::string sql = "UPDATE PARCELAR " + std::string(" SET NumeroRecebimento = '") +
                    SqlQuote(ReceiptNumber(ctx.key)) + "', " + "  DoctoRecebimento = '" +
                    kReceiptDocument + "' ";
  // An unset limit date would schedule the installment for 30/12/1899.
  const bool limit_date_known =
      printed.discount_limit_date.has_value() && !printed.discount_limit_date->is_zero();
  if (bank.alt_data_ante_bol == "S" && bank.antecipa_bol > 0 && bank.desconto_bol == "S" &&
      limit_date_known) {
    Result<std::string> programada =
        SqlDateLiteral(ctx.params.database_type, printed.discount_limit_date->Format("DDMMYYYY"));
    if (!programada.ok()) return Fail(ctx, programada.error(), "");
    sql += " , Programada =  " + *programada + " ";
  }
  sql += InstallmentWhere(ctx.key);
  Status receipt = ExecuteOrFail(ctx, sql, "");
  return receipt.ok() ? unqueued : receipt;
}

}  // namespace boleto
