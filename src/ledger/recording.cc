#include "ledger/recording.h"

#include "db/columns.h"
#include "db/dialect.h"
#include "db/sql_text.h"
#include "ledger/document_number.h"
#include "ledger/remittance.h"
#include "ledger/withheld_taxes.h"
#include "platform/amount_text.h"
#include "platform/text.h"

namespace boleto {
namespace {

constexpr size_t kBankReferenceWidth = 20;  // PARCELAR.IDBANCARIA and REMESSAR.IDBANCARIA
constexpr char kReceiptDocument[] = "BOL-BANCAR";
constexpr char kRemittanceOccurrence[] = "REMESBS   ";  // a boleto printed by the company
constexpr char kBankReferenceContext[] = "Erro atualizando identificação bancária da parcela";

// What the clerk reads when the installment changed while the page printed;
// each after the installment's "Documento: ..." prefix.
constexpr char kNotRecordedTail[] =
    " O boleto impresso não foi registrado e não deve ser enviado ao sacado.";
constexpr char kReceivedMeanwhile[] = "-Parcela quitada por outro usuário durante a impressão.";
constexpr char kCancelledMeanwhile[] =
    "-Documento cancelado por outro usuário durante a impressão.";
constexpr char kOtherReceiptMeanwhile[] =
    "-Parcela associada a outra forma de cobrança durante a impressão.";
constexpr char kChangedMeanwhile[] =
    "-Parcela alterada por outro usuário durante a impressão. Imprima-a novamente.";

Status ExecuteOrFail(RunContext& ctx, const std::string& sql, std::string_view context) {
  Result<int64_t> executed = ctx.db->Execute(sql);
  if (!executed.ok()) return ReportRecordingFailure(ctx, executed.error(), context);
  return Status::Ok();
}

// The fee statement. Its guard keeps the fee out of an installment that
// already holds this program's receipt (and so the fee); blanks and NULL
// alike mean no receipt.
std::string FeeSql(const RunContext& ctx, std::string_view fee) {
  const InstallmentKey& key = ctx.key;
  // A NULL ValorOutroC counts as zero here as it does when it is read: NULL
  // plus the fee would stay NULL and the fee be lost.
  return "UPDATE PARCELAR SET ValorOutroC = " + SqlNullAsZero(ctx.dialect, "ValorOutroC") + " + " +
         std::string(fee) + " " + "WHERE CodigoEmp        = '" + SqlQuote(key.codigo_emp) + "' " +
         " AND CodigoUnidade     = '" + SqlQuote(key.codigo_unidade) + "' " +
         " AND CodigoDocumento   = '" + SqlQuote(key.codigo_documento) + "' " +
         " AND Serie             = '" + SqlQuote(key.serie) + "' " + " AND Numero            = '" +
         SqlQuote(key.numero) + "' " + " AND Parcela           = '" + SqlQuote(key.parcela) + "'" +
         " AND (DoctoRecebimento IS NULL OR DoctoRecebimento <> '" + kReceiptDocument + "')";
}

// "FROM PARCELAR, DOCUMENTOR" and the WHERE clause naming the installment
// with its document, as the remittance read has always written it; with
// more numbers, the installments of the series of `key` with those numbers.
std::string InstallmentWithDocument(const InstallmentKey& key,
                                    std::span<const std::string> numeros) {
  return " FROM PARCELAR, DOCUMENTOR "
         "WHERE PARCELAR.CODIGOEMP       = '" +
         SqlQuote(key.codigo_emp) + "' " + " AND  PARCELAR.CODIGOUNIDADE   = '" +
         SqlQuote(key.codigo_unidade) + "' " + " AND  PARCELAR.CODIGODOCUMENTO = '" +
         SqlQuote(key.codigo_documento) + "' " + " AND  PARCELAR.SERIE           = '" +
         SqlQuote(key.serie) + "' " + " AND  PARCELAR.NUMERO          " + SqlEqualsOrIn(numeros) +
         " " + " AND  PARCELAR.PARCELA         = '" + SqlQuote(key.parcela) + "' " +
         " AND  PARCELAR.CODIGOEMP       = DOCUMENTOR.CODIGOEMP " +
         " AND  PARCELAR.CODIGOUNIDADE   = DOCUMENTOR.CODIGOUNIDADE " +
         " AND  PARCELAR.CODIGODOCUMENTO = DOCUMENTOR.CODIGODOCUMENTO " +
         " AND  PARCELAR.SERIE           = DOCUMENTOR.SERIE " +
         " AND  PARCELAR.NUMERO          = DOCUMENTOR.NUMERO " +
         DocumentsByKeySql(key.codigo_emp, key.codigo_unidade, key.codigo_documento, key.serie,
                           numeros);
}

}  // namespace

std::string LockedColumnsSql(Dialect dialect) {
  return "SELECT PARCELAR.Recebimento       AS Recebimento, "
         "       PARCELAR.DoctoRecebimento  AS Ocorrencia, "
         "       PARCELAR.NumeroRecebimento AS NumeroRecebimento, "
         "       DOCUMENTOR.Status          AS StatusDoc, "
         "       DOCUMENTOR.Moeda           AS Moeda, "
         "       PARCELAR.Emissao           AS Emissao, "
         "       PARCELAR.Vencimento        AS Vencimento, "
         "       PARCELAR.ValorDescontoP    AS ValorDesconto, "
         "       PARCELAR.PercentualDesctP  AS PercentualDesconto, "
         "       " +
         WithheldTaxesSql(dialect) + " AS Impostos, " + WithheldTaxColumnsSql() +
         "       PARCELAR.ValorOutroD       AS ValorOutroD, "
         "       PARCELAR.PercentualJurosP  AS PercentualJuros, "
         "       PARCELAR.ValorMultaP       AS ValorMulta, "
         "       PARCELAR.PercentualMultaP  AS PercentualMulta, "
         "       PARCELAR.ValorOutroC       AS ValorOutroC, "
         "       PARCELAR.Valor             AS Resultado ";
}

namespace {

// The installment under its lock; no row when a processed remittance row
// now holds it or its document has lost its payer. Both tables are named by the key's own values,
// not joined on their columns: a database plans it in a fraction of the time.
std::string LockedInstallmentSql(Dialect dialect, const InstallmentKey& key) {
  return LockedColumnsSql(dialect) +
         " FROM PARCELAR, DOCUMENTOR "
         "WHERE PARCELAR.CODIGOEMP         = '" +
         SqlQuote(key.codigo_emp) + "' " + " AND  PARCELAR.CODIGOUNIDADE     = '" +
         SqlQuote(key.codigo_unidade) + "' " + " AND  PARCELAR.CODIGODOCUMENTO   = '" +
         SqlQuote(key.codigo_documento) + "' " + " AND  PARCELAR.SERIE             = '" +
         SqlQuote(key.serie) + "' " + " AND  PARCELAR.NUMERO            = '" +
         SqlQuote(key.numero) + "' " + " AND  PARCELAR.PARCELA           = '" +
         SqlQuote(key.parcela) + "' " + " AND  DOCUMENTOR.CODIGOEMP       = '" +
         SqlQuote(key.codigo_emp) + "' " + " AND  DOCUMENTOR.CODIGOUNIDADE   = '" +
         SqlQuote(key.codigo_unidade) + "' " + " AND  DOCUMENTOR.CODIGODOCUMENTO = '" +
         SqlQuote(key.codigo_documento) + "' " + " AND  DOCUMENTOR.SERIE           = '" +
         SqlQuote(key.serie) + "' " + " AND  DOCUMENTOR.NUMERO          = '" +
         SqlQuote(key.numero) + "' " + kWithPayerSql + " AND NOT EXISTS ( SELECT * FROM REMESSAR " +
         InstallmentWhere(key) + " AND DataProcesso IS NOT NULL ) ";
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

}  // namespace

std::string RemittanceInstallmentSql(Dialect dialect, const InstallmentKey& key,
                                     std::span<const std::string> numeros) {
  const auto amount = [dialect](const char* column) { return SqlNullAsZero(dialect, column); };
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
         "       PARCELAR.CodigoCarteira     AS CodigoCarteira, " + "       (" +
         amount("PARCELAR.Valor") + " - " + amount("PARCELAR.ValorIRRF") + " - " +
         amount("PARCELAR.ValorINSS") + " - " + amount("PARCELAR.ValorCSLL") + " - " +
         amount("PARCELAR.ValorCOFINS") + " - " + amount("PARCELAR.ValorPIS") + " - " +
         amount("PARCELAR.ValorISS") + ") AS Valor " + InstallmentWithDocument(key, numeros) +
         " AND  DOCUMENTOR.Status       <> 'C ' ";
}

namespace {

// A date column as "DDMMYYYY"; NULL or a value that is no date is an error.
Result<std::string> DateDigits(const RowSet& rows, std::string_view column) {
  BOLETO_ASSIGN_OR_RETURN(const Date date, DateColumn(rows, column));
  return date.Format("DDMMYYYY");
}

}  // namespace

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
    BOLETO_ASSIGN_OR_RETURN(*text.target, rows.Text(text.column));
  }
  struct DateColumn {
    const char* column;
    std::string* target;
  };
  const DateColumn dates[] = {{"Emissao", &record.emissao}, {"Vencimento", &record.vencimento}};
  for (const DateColumn& date : dates) {
    BOLETO_ASSIGN_OR_RETURN(*date.target, DateDigits(rows, date.column));
  }
  struct AmountField {
    const char* column;
    Currency* target;
  };
  const AmountField amounts[] = {{"ValorDescontoP", &record.valor_desconto},
                                 {"PercentualDesctP", &record.percentual_desconto},
                                 {"PercentualJurosP", &record.percentual_juros},
                                 {"ValorMultaP", &record.valor_multa},
                                 {"PercentualMultaP", &record.percentual_multa},
                                 {"Valor", &record.valor}};
  for (const AmountField& amount : amounts) {
    BOLETO_ASSIGN_OR_RETURN(*amount.target, AmountColumn(rows, amount.column, ctx.decimal_mark));
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

std::string DocumentLockSql(const InstallmentKey& key) {
  return "UPDATE DOCUMENTOR SET Status = Status WHERE CodigoEmp     = '" +
         SqlQuote(key.codigo_emp) + "' AND CodigoUnidade   = '" + SqlQuote(key.codigo_unidade) +
         "' AND CodigoDocumento = '" + SqlQuote(key.codigo_documento) +
         "' AND Serie           = '" + SqlQuote(key.serie) + "' AND Numero          = '" +
         SqlQuote(key.numero) + "'";
}

std::string InstallmentLockSql(const InstallmentKey& key) {
  return "UPDATE PARCELAR SET DoctoRecebimento = DoctoRecebimento " + InstallmentWhere(key);
}

Receipt ReceiptOf(const std::optional<std::string>& docto_recebimento,
                  const std::optional<std::string>& numero_recebimento) {
  const std::string_view docto = docto_recebimento ? TrimBlanks(*docto_recebimento) : "";
  const std::string_view number = numero_recebimento ? TrimBlanks(*numero_recebimento) : "";
  if (docto.empty() && number.empty()) return Receipt::kNone;
  return docto == kReceiptDocument ? Receipt::kThisProgram : Receipt::kOther;
}

namespace {

bool ChargesFee(const BankSettings& bank) {
  return bank.desp_banc_bol == "S" && !bank.val_desp_cob.is_zero();
}

}  // namespace

bool FeeAlreadyInOtherAdditions(const BankSettings& bank, Receipt receipt) {
  return ChargesFee(bank) && receipt == Receipt::kThisProgram;
}

bool RecordingAddsFee(const BankSettings& bank, Receipt receipt) {
  return ChargesFee(bank) && receipt == Receipt::kNone;
}

namespace {

// The bank reference on the installment alone.
Status UpdateInstallmentBankReference(RunContext& ctx, std::string_view padded_reference) {
  return ExecuteOrFail(ctx, BankReferenceSql("PARCELAR", ctx.key, padded_reference),
                       kBankReferenceContext);
}

// The remittance path: the queued row updated, or a number drawn and a row
// queued. Every error has been shown when it is returned.
Status RecordRemittance(RunContext& ctx, std::string_view padded_reference) {
  const InstallmentKey& key = ctx.key;
  Result<RowSet> queued = ctx.db->Query(RemittanceLookupSql(key));
  if (!queued.ok()) return ReportRecordingFailure(ctx, queued.error(), kRemittanceErrorContext);

  if (!queued->eof()) {
    // Printed again before the remittance went out: the queued row and the
    // installment take the reference of this print; no new number.
    Status status = ExecuteOrFail(ctx, BankReferenceSql("REMESSAR", key, padded_reference),
                                  kRemittanceErrorContext);
    if (!status.ok()) return status;
    return ExecuteOrFail(ctx, BankReferenceSql("PARCELAR", key, padded_reference),
                         kRemittanceErrorContext);
  }

  // An error has been shown by the draw.
  BOLETO_ASSIGN_OR_RETURN(const std::string number,
                          DrawDocumentNumber(ctx, ctx.params.codigo_emp, kReferenceSequence));

  Result<RowSet> rows =
      ctx.db->Query(RemittanceInstallmentSql(ctx.dialect, key, std::span(&key.numero, 1)));
  if (!rows.ok()) return ReportRecordingFailure(ctx, rows.error(), kRemittanceErrorContext);
  // Not found: the document is cancelled, which the lock's re-read has
  // already refused; nothing to queue.
  if (rows->eof()) return Status::Ok();

  Result<RemittanceRecord> record = ReadRemittanceRecord(ctx, *rows);
  if (!record.ok()) return ReportRecordingFailure(ctx, record.error(), kRemittanceErrorContext);
  record->ref_bancaria = number;
  record->id_bancaria = std::string(padded_reference);

  Status inserted = InsertRemittanceRecord(ctx, *record);
  if (!inserted.ok()) return inserted;  // shown by the insert

  const std::string sql = "UPDATE PARCELAR " + std::string(" SET RefBancaria    = '") +
                          SqlQuote(number) + "', " + "     IDBancaria     = '" +
                          SqlQuote(padded_reference) + "' " + InstallmentWhere(key);
  return ExecuteOrFail(ctx, sql, kRemittanceErrorContext);
}

// Shows why nothing was recorded on an installment that changed while its
// page was printed.
RecordingOutcome Changed(RunContext& ctx, std::string_view why) {
  ctx.messages->Show(ctx.message_prefix + std::string(why) + kNotRecordedTail,
                     MessageIcon::kExclamation);
  return RecordingOutcome::kChanged;
}

// The checks on the installment's locked row (`now`, without a row when it
// has none): the receipt it holds when they pass; kChanged (message shown)
// or an error (shown) when they do not.
using RowCheck = std::variant<Receipt, RecordingOutcome>;
Result<RowCheck> CheckLockedRow(RunContext& ctx, const PrintedBoleto& printed, const RowSet& now,
                                const AmountDueNow& amount_due_now) {
  if (now.eof()) return RowCheck(Changed(ctx, kChangedMeanwhile));
  Result<std::optional<std::string>> received = now.Value("Recebimento");
  Result<std::optional<std::string>> docto = now.Value("Ocorrencia");
  Result<std::optional<std::string>> number = now.Value("NumeroRecebimento");
  Result<std::optional<std::string>> status = now.Value("StatusDoc");
  for (const auto* value : {&received, &docto, &number, &status}) {
    if (!value->ok()) return ReportRecordingFailure(ctx, value->error(), "");
  }
  if (received->has_value()) return RowCheck(Changed(ctx, kReceivedMeanwhile));
  if (status->value_or("") == "C ") return RowCheck(Changed(ctx, kCancelledMeanwhile));
  // The installment query leaves out a document without a state.
  if (!status->has_value()) return RowCheck(Changed(ctx, kChangedMeanwhile));
  const Receipt receipt = ReceiptOf(*docto, *number);
  if (receipt == Receipt::kOther) return RowCheck(Changed(ctx, kOtherReceiptMeanwhile));

  if (amount_due_now) {
    Result<Currency> due = amount_due_now(ctx, now);
    if (!due.ok()) return ReportRecordingFailure(ctx, due.error(), "");
    if (*due != printed.amount_due) return RowCheck(Changed(ctx, kChangedMeanwhile));
  }
  return RowCheck(receipt);
}

// Programada as the receipt statement sets it: the discount limit date
// where the account moves the installment to it and this boleto computed
// one; nothing otherwise. An error is shown.
Result<std::optional<std::string>> ProgramadaLiteral(RunContext& ctx,
                                                     const PrintedBoleto& printed) {
  const BankSettings& bank = ctx.bank;
  // An unset limit date would schedule the installment for 30/12/1899.
  const bool limit_date_known =
      printed.discount_limit_date.has_value() && !printed.discount_limit_date->is_zero();
  if (bank.alt_data_ante_bol != "S" || bank.antecipa_bol <= 0 || bank.desconto_bol != "S" ||
      !limit_date_known) {
    return std::optional<std::string>();
  }
  Result<std::string> programada =
      SqlDateLiteral(ctx.dialect, printed.discount_limit_date->Format("DDMMYYYY"));
  if (!programada.ok()) return ReportRecordingFailure(ctx, programada.error(), "");
  return std::optional<std::string>(*programada);
}

// The checks on the installment's locked row and the statements that
// follow them, inside the recording's transaction. Gives kChanged (message
// shown) or an error (shown) to roll back, or kRecorded to commit.
Result<RecordingOutcome> CheckAndWrite(RunContext& ctx, const PrintedBoleto& printed,
                                       const RowSet& now, const AmountDueNow& amount_due_now) {
  const BankSettings& bank = ctx.bank;
  BOLETO_ASSIGN_OR_RETURN(const auto checked, CheckLockedRow(ctx, printed, now, amount_due_now));
  if (const auto* outcome = std::get_if<RecordingOutcome>(&checked)) return *outcome;
  const Receipt receipt = std::get<Receipt>(checked);

  if (RecordingAddsFee(bank, receipt)) {
    Result<std::string> fee = SqlDecimalText(bank.val_desp_cob, ctx.decimal_mark);
    if (!fee.ok()) return ReportRecordingFailure(ctx, fee.error(), "");
    Result<int64_t> added = ctx.db->Execute(FeeSql(ctx, *fee));
    if (!added.ok()) return ReportRecordingFailure(ctx, added.error(), "");
    if (*added != 1) return Changed(ctx, kChangedMeanwhile);
  }

  const std::string padded = PaddedBankReference(printed.id_bancaria);
  Status reference = bank.gera_remessa_bol_sr == "S" ? RecordRemittance(ctx, padded)
                                                     : UpdateInstallmentBankReference(ctx, padded);
  if (!reference.ok()) return reference.error();

  std::string sql = "UPDATE PARCELAR " + std::string(" SET NumeroRecebimento = '") +
                    SqlQuote(ReceiptNumber(ctx.key)) + "', " + "  DoctoRecebimento = '" +
                    kReceiptDocument + "' ";
  BOLETO_ASSIGN_OR_RETURN(const std::optional<std::string> programada,
                          ProgramadaLiteral(ctx, printed));
  if (programada) sql += " , Programada =  " + *programada + " ";
  sql += InstallmentWhere(ctx.key);
  BOLETO_RETURN_IF_ERROR(ExecuteOrFail(ctx, sql, ""));
  return RecordingOutcome::kRecorded;
}

// The lock, the locked read and the rest of the recording of one
// installment, inside its transaction.
Result<RecordingOutcome> WriteRecording(RunContext& ctx, const PrintedBoleto& printed,
                                        const AmountDueNow& amount_due_now) {
  // The locks, the document's first, then the installment's: from here
  // until the commit no other recording of this installment runs, nobody
  // cancels the document, and what is read below stays as read.
  for (const std::string& lock : {DocumentLockSql(ctx.key), InstallmentLockSql(ctx.key)}) {
    Result<int64_t> locked = ctx.db->Execute(lock);
    if (!locked.ok()) return ReportRecordingFailure(ctx, locked.error(), "");
    if (*locked == 0) return Changed(ctx, kChangedMeanwhile);
  }
  Result<RowSet> now = ctx.db->Query(LockedInstallmentSql(ctx.dialect, ctx.key));
  if (!now.ok()) return ReportRecordingFailure(ctx, now.error(), "");
  return CheckAndWrite(ctx, printed, *now, amount_due_now);
}

// Runs `write` in a transaction of its own: committed when it gives
// kRecorded, else rolled back, with kNotRecordedMessage after an error.
RecordingOutcome InTransaction(RunContext& ctx,
                               const std::function<Result<RecordingOutcome>()>& write) {
  // Every lock wait of the recording ends at one deadline.
  LockDeadline deadline(*ctx.db);
  Transaction transaction(*ctx.db);
  Status begun = transaction.Begin();
  Result<RecordingOutcome> outcome =
      begun.ok() ? write()
                 : Result<RecordingOutcome>(ReportRecordingFailure(ctx, begun.error(), ""));
  if (outcome.ok() && *outcome == RecordingOutcome::kRecorded) {
    Status committed = transaction.Commit();
    if (committed.ok()) return RecordingOutcome::kRecorded;
    outcome = ReportRecordingFailure(ctx, committed.error(), "");
  }
  if (outcome.ok()) return *outcome;  // changed meanwhile: the transaction rolls back
  ctx.messages->Show(kNotRecordedMessage, MessageIcon::kExclamation);
  return RecordingOutcome::kFailed;
}

}  // namespace

RecordingOutcome RecordPrintedBoleto(RunContext& ctx, const PrintedBoleto& printed,
                                     const AmountDueNow& amount_due_now) {
  return InTransaction(ctx, [&] { return WriteRecording(ctx, printed, amount_due_now); });
}

RecordingOutcome RecordLockedBoleto(RunContext& ctx, const PrintedBoleto& printed,
                                    const RowSet& locked, const AmountDueNow& amount_due_now) {
  return InTransaction(ctx, [&] { return CheckAndWrite(ctx, printed, locked, amount_due_now); });
}

CheckedRecording CheckLockedBoleto(RunContext& ctx, const PrintedBoleto& printed,
                                   const RowSet& locked, const AmountDueNow& amount_due_now) {
  // What the recording would roll back after an error: nothing is written
  // here, so only the message that says so.
  const auto failed = [&ctx] {
    ctx.messages->Show(kNotRecordedMessage, MessageIcon::kExclamation);
    return RecordingOutcome::kFailed;
  };
  const Result<RowCheck> checked = CheckLockedRow(ctx, printed, locked, amount_due_now);
  if (!checked.ok()) return failed();
  if (const auto* outcome = std::get_if<RecordingOutcome>(&*checked)) return *outcome;
  InstallmentWrites writes{.key = ctx.key,
                           .bank_reference = PaddedBankReference(printed.id_bancaria),
                           .receipt_number = ReceiptNumber(ctx.key)};
  if (RecordingAddsFee(ctx.bank, std::get<Receipt>(*checked))) {
    Result<std::string> fee = SqlDecimalText(ctx.bank.val_desp_cob, ctx.decimal_mark);
    if (!fee.ok()) {
      ReportRecordingFailure(ctx, fee.error(), "");
      return failed();
    }
    writes.fee = *fee;
  }
  Result<std::optional<std::string>> programada = ProgramadaLiteral(ctx, printed);
  if (!programada.ok()) return failed();
  writes.programada = *programada;
  return writes;
}

std::string ReceiptDocumentSql() { return std::string("'") + kReceiptDocument + "'"; }

}  // namespace boleto
