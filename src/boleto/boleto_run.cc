#include "boleto/boleto_run.h"

#include <memory>
#include <optional>

#include "bankrules/bank_fields.h"
#include "bankrules/barcode.h"
#include "boleto/amounts.h"
#include "boleto/field_map.h"
#include "boleto/logos.h"
#include "boleto/parties.h"
#include "boleto/queries.h"
#include "db/columns.h"
#include "db/dialect.h"
#include "db/error_report.h"
#include "ledger/recording.h"
#include "ledger/withheld_taxes.h"
#include "platform/amount_text.h"
#include "platform/directories.h"
#include "platform/text.h"
#include "print/layout_form.h"
#include "print/print_job.h"

namespace boleto {

namespace {

// An installment that another way of collecting has given its receipt: this
// boleto could never be recorded, so it is not printed.
constexpr char kOtherReceiptMessage[] =
    "-Parcela já esta associada a forma de cobrança. Verifique e corrija";

// The installment row as the amounts read it, with whose receipt it holds.
struct InstallmentRow {
  InstallmentAmounts amounts;
  Receipt receipt = Receipt::kNone;
};

// The installment row's dates, currency, amounts and receipt. When an
// earlier print already added the bank's fee to ValorOutroC, it is taken out
// again: the base amount adds the fee itself.
Result<InstallmentRow> ReadInstallmentRow(const RunContext& ctx, const RowSet& row) {
  InstallmentRow read;
  InstallmentAmounts& in = read.amounts;
  BOLETO_ASSIGN_OR_RETURN(in.vencimento, DateColumn(row, "Vencimento"));
  BOLETO_ASSIGN_OR_RETURN(in.emissao, DateColumn(row, "Emissao"));
  BOLETO_ASSIGN_OR_RETURN(in.moeda, row.Text("Moeda"));
  const struct {
    const char* column;
    Currency* target;
  } amount_columns[] = {
      {"Resultado", &in.resultado},
      {"Impostos", &in.impostos},
      {"ValorOutroD", &in.valor_outro_d},
      {"ValorOutroC", &in.valor_outro_c},
      {"ValorDesconto", &in.valor_desconto},
      {"PercentualDesconto", &in.percentual_desconto},
      {"PercentualJuros", &in.percentual_juros},
      {"ValorMulta", &in.valor_multa},
      {"PercentualMulta", &in.percentual_multa},
  };
  for (const auto& c : amount_columns) {
    BOLETO_ASSIGN_OR_RETURN(*c.target, AmountColumn(row, c.column, ctx.decimal_mark));
  }
  // Impostos is their sum by SQL arithmetic, which reads a tax that is no
  // number as some other number: each must be one.
  for (const char* tax : kWithheldTaxColumns) {
    BOLETO_RETURN_IF_ERROR(AmountColumn(row, tax, ctx.decimal_mark).status());
  }
  BOLETO_ASSIGN_OR_RETURN(const auto docto, row.Value("Ocorrencia"));
  BOLETO_ASSIGN_OR_RETURN(const auto receipt, row.Value("NumeroRecebimento"));
  read.receipt = ReceiptOf(docto, receipt);
  if (FeeAlreadyInOtherAdditions(ctx.bank, read.receipt)) {
    auto without_fee = CheckedSub(in.valor_outro_c, ctx.bank.val_desp_cob);
    if (!without_fee) return MakeError(error_number::kOverflow, "Overflow in ValorOutroC");
    in.valor_outro_c = *without_fee;
  }
  return read;
}

// The installment query of the run's dialect, opened as the run opens it:
// "SQLSERVER" with the engine's defaults.
Result<RowSet> QueryInstallment(const RunContext& ctx) {
  return ctx.db->Query(InstallmentQuery(ctx.dialect, ctx.key), InstallmentQueryMode(ctx.dialect));
}

// The first row's `column` as text, or the empty text when the query found
// no row.
Result<std::string> TextOrNothing(const Result<RowSet>& answer, std::string_view column) {
  BOLETO_ASSIGN_OR_RETURN(const RowSet rows, answer);
  if (rows.eof()) return std::string();
  return rows.Text(column);
}

// What the collecting bank's rules read.
BankInput MakeBankInput(const BankSettings& bank, const std::string& doc_number,
                        const std::string& installment_no, const Date& vencimento) {
  BankInput in;
  in.bank_code = bank.banco_cobranca;
  in.doc_number = doc_number;
  in.installment_no = installment_no;
  in.agency4 = Agency4(bank.agencia_cobranca);
  in.account7 = Account7(bank.conta_cobranca);
  in.account_digit = AccountDigit(bank.conta_cobranca);
  in.agencia_cobranca = bank.agencia_cobranca;
  in.conta_cobranca = bank.conta_cobranca;
  in.identificacao_sr = bank.sr_identification;
  in.carteira_sr = bank.carteira_sr;
  in.carteira_ext = bank.carteira_ext;
  in.gera_remessa_bol_sr = bank.gera_remessa_bol_sr;
  in.due_date_digits = vencimento.Format("DDMMYYYY");
  in.due_date_short = vencimento.Format("DDMMYY");
  return in;
}

// Everything from the installment read to both forms filled; the outcome
// when there is no page to draw.
Result<std::optional<RunOutcome>> Compose(RunContext& ctx, PictureCache* pictures,
                                          std::unique_ptr<ComposedPage>& page,
                                          PrintedBoleto& printed) {
  Database& db = *ctx.db;
  const InstallmentKey& key = ctx.key;
  const BankSettings& bank = ctx.bank;

  // The installment, while it is still to be collected.
  BOLETO_ASSIGN_OR_RETURN(const RowSet installment, QueryInstallment(ctx));
  if (installment.eof()) return std::optional<RunOutcome>(RunOutcome::kNothingToPrint);
  BOLETO_ASSIGN_OR_RETURN(const InstallmentRow row, ReadInstallmentRow(ctx, installment));
  if (row.receipt == Receipt::kOther) {
    ctx.messages->Show(ctx.message_prefix + kOtherReceiptMessage, MessageIcon::kExclamation);
    return std::optional<RunOutcome>(RunOutcome::kRefused);
  }
  const InstallmentAmounts& in = row.amounts;
  BOLETO_ASSIGN_OR_RETURN(const BoletoAmounts amounts,
                          ComputeBoletoAmounts(in, bank, ctx.company.moeda_padrao));
  const std::string doc_number(TrimBlanks(key.numero));
  const std::string installment_no(TrimBlanks(key.parcela));

  BoletoFieldValues values;
  BOLETO_ASSIGN_OR_RETURN(
      values.species_code,
      TextOrNothing(db.QuerySetting(SpeciesQuery(ctx.params.codigo_emp, bank.banco_cobranca,
                                                 key.codigo_documento)),
                    "CodigoEspecieB"));
  BOLETO_ASSIGN_OR_RETURN(values.beneficiary,
                          ReadBeneficiary(db, ctx.params.codigo_emp, ctx.company.nome));
  BOLETO_ASSIGN_OR_RETURN(values.installment_count,
                          TextOrNothing(db.Query(InstallmentCountQuery(key)), "QtdParcelas"));
  BOLETO_ASSIGN_OR_RETURN(values.payer, ReadPayer(db, bank.tipo_empresa, bank.codigo_empresa,
                                                  ctx.company.end_cobranca));

  auto composed = std::make_unique<ComposedPage>();
  LayoutForm& receipt_stub = composed->receipt_stub;
  LayoutForm& compensation_part = composed->compensation_part;
  BOLETO_RETURN_IF_ERROR(LoadLogos(ctx, receipt_stub, compensation_part, pictures));

  // Barcode fields, the collecting bank's own fields and the digitable line.
  const BankInput bank_input = MakeBankInput(bank, doc_number, installment_no, in.vencimento);
  BOLETO_ASSIGN_OR_RETURN(
      const BarcodeFields barcode,
      ComposeBarcodeFields(bank.banco_cobranca, bank_input.due_date_digits, amounts.amount_due));
  BOLETO_ASSIGN_OR_RETURN(const BankFields bank_fields, ComposeBankFields(bank_input));
  BOLETO_ASSIGN_OR_RETURN(
      const DigitableLine line,
      ComposeDigitableLine(barcode.prefix, barcode.factor_and_amount, bank_fields.free_field));

  // Fill both forms.
  values.banco_cobranca = bank.banco_cobranca;
  values.bank_name = bank.bank_name;
  values.installment_no = installment_no;
  values.due_date_text = in.vencimento.Format("DD/MM/YYYY");
  values.issue_date_text = in.emissao.Format("DD/MM/YYYY");
  values.document_text = std::string(TrimBlanks(key.codigo_documento)) + " " +
                         std::string(TrimBlanks(key.serie)) + " " + doc_number;
  values.processing_date = ServerNow(db, ctx.dialect);
  values.carteira = bank.carteira;
  values.currency_code = in.moeda;
  values.amounts = amounts;
  values.bank_fields = bank_fields;
  values.printed_line = line.printed;
  BOLETO_ASSIGN_OR_RETURN(const std::vector<FieldAssignment> map, BoletoFieldMap(values));
  BOLETO_RETURN_IF_ERROR(ApplyFieldMap(map, receipt_stub, compensation_part));

  composed->bank_description = ctx.txt_desc_banco;
  composed->preview = ctx.preview;
  page = std::move(composed);

  printed.id_bancaria = bank_fields.id_bancaria;
  printed.discount_limit_date = amounts.discount_limit_date;
  printed.amount_due = amounts.amount_due;
  return std::optional<RunOutcome>();
}

}  // namespace

Result<Currency> InstallmentAmountDue(RunContext& ctx, const RowSet& locked) {
  BOLETO_ASSIGN_OR_RETURN(const InstallmentRow row, ReadInstallmentRow(ctx, locked));
  BOLETO_ASSIGN_OR_RETURN(const BoletoAmounts amounts,
                          ComputeBoletoAmounts(row.amounts, ctx.bank, ctx.company.moeda_padrao));
  return amounts.amount_due;
}

std::optional<RunOutcome> CheckPrintDirectories(RunContext& ctx) {
  const std::string local_anexo = PrintDirectory(ctx);
  if (DirectoryMissing(local_anexo)) {
    ctx.messages->Show(kPrintDirectoryMessage, MessageIcon::kExclamation);
    return RunOutcome::kDirectoryRefused;
  }
  if (DirectoryMissing(JoinPath(JoinPath(local_anexo, "BMP"), ctx.params.codigo_emp))) {
    ctx.messages->Show(kLogoDirectoryMessage, MessageIcon::kExclamation);
    return RunOutcome::kDirectoryRefused;
  }
  return std::nullopt;
}

RunOutcome ComposeBoleto(RunContext& ctx, PictureCache* pictures,
                         std::unique_ptr<ComposedPage>& page, PrintedBoleto& printed) {
  Result<std::optional<RunOutcome>> composed = Compose(ctx, pictures, page, printed);
  if (!composed.ok()) {
    page.reset();
    ReportError(*ctx.messages, composed.error(), "");
    return RunOutcome::kErrorReported;
  }
  if (composed->has_value()) page.reset();
  return composed->value_or(RunOutcome::kPrinted);
}

Status CheckComposedPage(const ComposedPage& page) {
  BOLETO_ASSIGN_OR_RETURN(const std::string line, page.compensation_part.Caption("nr"));
  return BarcodeOfPrintedLine(line).status();
}

Status DrawComposedPage(PrintJob& job, const ComposedPage& page) {
  BOLETO_RETURN_IF_ERROR(
      job.Render(page.receipt_stub, page.compensation_part, page.bank_description));
  if (page.preview) BOLETO_RETURN_IF_ERROR(job.MarkAsPreview());
  return Status::Ok();
}

RunOutcome RecordBoleto(RunContext& ctx, const PrintedBoleto& printed) {
  switch (RecordPrintedBoleto(ctx, printed, InstallmentAmountDue)) {
    case RecordingOutcome::kRecorded:
      return RunOutcome::kPrinted;
    case RecordingOutcome::kChanged:
      return RunOutcome::kRefused;
    case RecordingOutcome::kFailed:
      break;
  }
  return RunOutcome::kErrorReported;
}

namespace {

// Reads, composes and draws the boleto of the one run on the job's page.
RunOutcome DrawBoleto(RunContext& ctx, PrintJob& job, PrintedBoleto& printed) {
  std::unique_ptr<ComposedPage> page;
  const RunOutcome composed = ComposeBoleto(ctx, nullptr, page, printed);
  if (composed != RunOutcome::kPrinted) return composed;
  if (Status drawn = DrawComposedPage(job, *page); !drawn.ok()) {
    ReportError(*ctx.messages, drawn.error(), "");
    return RunOutcome::kErrorReported;
  }
  return RunOutcome::kPrinted;
}

}  // namespace

std::string StoppedQueueMessage(std::string_view queue) {
  return "A fila de impressão \"" + std::string(queue) +
         "\" está parada: o trabalho foi aceito e será impresso quando a fila for retomada.";
}

RunOutcome BoletoRun(RunContext& ctx) {
  if (std::optional<RunOutcome> refused = CheckPrintDirectories(ctx)) return *refused;

  // Printer set-up.
  const InstallmentKey& key = ctx.key;
  Result<std::unique_ptr<PrintJob>> job = PrintJob::Open(PageDestination{
      ctx.destination.output_file, ctx.destination.printer_name,
      PrintJobName(key.codigo_emp, key.codigo_documento, key.serie, key.numero, key.parcela)});
  if (!job.ok()) {
    ReportError(*ctx.messages, job.error(), "");
    return RunOutcome::kErrorReported;
  }
  (*job)->Setup();

  PrintedBoleto printed;
  const RunOutcome drawn = DrawBoleto(ctx, **job, printed);
  if (drawn != RunOutcome::kPrinted) {
    (*job)->Close();  // drops the page: nothing is printed
    return drawn;
  }
  // The page is handed to its destination before any recording.
  if (Status handed = (*job)->CompletePage(); !handed.ok()) {
    ReportError(*ctx.messages, handed.error(), "");
    (*job)->Close();
    return RunOutcome::kErrorReported;
  }
  (*job)->Close();
  // The page is out: record it on the installment, all or nothing, if it
  // still gives the amount printed.
  const RunOutcome outcome = ctx.preview ? RunOutcome::kPrinted : RecordBoleto(ctx, printed);
  // Told last, so that the clerk's answer never holds up the recording.
  if (const std::string& queue = (*job)->stopped_queue(); !queue.empty()) {
    ctx.messages->Show(StoppedQueueMessage(queue), MessageIcon::kExclamation);
  }
  return outcome;
}

}  // namespace boleto
