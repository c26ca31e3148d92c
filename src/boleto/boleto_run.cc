#include "boleto/boleto_run.h"

#include <cctype>
#include <filesystem>
#include <optional>
#include <system_error>

#include "bankrules/bank_fields.h"
#include "bankrules/barcode.h"
#include "boleto/amounts.h"
#include "boleto/field_map.h"
#include "boleto/parties.h"
#include "db/columns.h"
#include "db/dialect.h"
#include "db/sql_text.h"
#include "ledger/recording.h"
#include "platform/amount_text.h"
#include "platform/text.h"
#include "print/layout_form.h"
#include "print/picture.h"
#include "print/print_job.h"

namespace boleto {

std::string InstallmentQuery(std::string_view dialect, const InstallmentKey& key) {
  // The taxes are added up with NULL as zero: one NULL tax column would
  // make the whole sum NULL and drop every withheld tax from the page.
  const auto tax = [dialect](const char* column) { return SqlNullAsZero(dialect, column); };
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
         "       (" +
         tax("PARCELAR.VALORIRRF") + " + " + tax("PARCELAR.VALORINSS") + " + " +
         tax("PARCELAR.VALORCSLL") + " + " + tax("PARCELAR.VALORCOFINS") + " + " +
         tax("PARCELAR.VALORPIS") + " + " + tax("PARCELAR.VALORISS") +
         ") AS Impostos, "
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

namespace {

// The print directory as this system writes paths: stored directories may
// have been written with "\" between their parts.
std::string PrintDirectory(const RunContext& ctx) {
  std::string dir = ctx.company.local_anexo;
  for (char& c : dir) {
    if (c == '\\') c = '/';
  }
  return dir;
}

// Print folders are written with "/" between their parts.
std::string JoinPath(std::string_view a, std::string_view b) {
  std::string path(a);
  path += '/';
  path += b;
  return path;
}

// The entry of `dir` whose name, in upper case, is `upper_name` (the stored
// logo names were written without regard to case); `dir/upper_name` when the
// folder holds none.
std::string FindIgnoringCase(const std::string& dir, std::string_view upper_name) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != upper_name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      same = std::toupper(static_cast<unsigned char>(name[i])) == upper_name[i];
    }
    if (same) return it->path().string();
  }
  return JoinPath(dir, upper_name);
}

// The printer job and the printed boleto's values, as far as the run got.
struct RunState {
  std::unique_ptr<PrintJob> job;
  PrintedBoleto printed;
  bool nothing_to_print = false;
  bool refused = false;  // a message said why nothing is printed
};

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
  const QueryMode mode = ctx.params.database_type == "SQLSERVER" ? QueryMode::kEngineDefault
                                                                 : QueryMode::kSnapshotPassThrough;
  return ctx.db->Query(InstallmentQuery(ctx.params.database_type, ctx.key), mode);
}

// The amount due the installment gives now, by the same reading and rules as
// the printed page; nothing when it is no longer to be collected.
Result<std::optional<Currency>> InstallmentAmountDue(RunContext& ctx, Receipt receipt) {
  BOLETO_ASSIGN_OR_RETURN(const RowSet installment, QueryInstallment(ctx));
  if (installment.eof()) return std::optional<Currency>();
  BOLETO_ASSIGN_OR_RETURN(const InstallmentRow row, ReadInstallmentRow(ctx, installment));
  if (row.receipt != receipt) return std::optional<Currency>();
  BOLETO_ASSIGN_OR_RETURN(const BoletoAmounts amounts,
                          ComputeBoletoAmounts(row.amounts, ctx.bank, ctx.company.moeda_padrao));
  return std::optional<Currency>(amounts.amount_due);
}

// The first row's `column` as text, or the empty text when `sql` finds no row.
Result<std::string> TextOrNothing(Database& db, const std::string& sql, std::string_view column) {
  BOLETO_ASSIGN_OR_RETURN(const RowSet rows, db.Query(sql));
  if (rows.eof()) return std::string();
  return rows.Text(column);
}

// The company's strip on the receipt stub (LOGOBOLR.BMP, or else LOGO.BMP,
// which must then exist) and the bank's logo on both parts (none: the bank
// description is printed in its place).
Status LoadLogos(const RunContext& ctx, LayoutForm& receipt_stub, LayoutForm& compensation_part) {
  const std::string bmp = JoinPath(PrintDirectory(ctx), "BMP");
  const std::string company_dir = JoinPath(bmp, ctx.params.codigo_emp);
  std::string company_logo = FindIgnoringCase(company_dir, "LOGOBOLR.BMP");
  if (!std::filesystem::is_regular_file(company_logo)) {
    company_logo = FindIgnoringCase(company_dir, "LOGO.BMP");
  }
  BOLETO_ASSIGN_OR_RETURN(Picture company_picture, LoadPicture(company_logo));
  BOLETO_RETURN_IF_ERROR(receipt_stub.SetPicture("Picture2", std::move(company_picture)));

  const std::string bank_logo =
      FindIgnoringCase(JoinPath(bmp, ctx.bank.banco_cobranca), "LOGO.BMP");
  Picture bank_picture;
  if (!DirectoryMissing(bank_logo)) {
    BOLETO_ASSIGN_OR_RETURN(bank_picture, LoadPicture(bank_logo));
  }
  BOLETO_RETURN_IF_ERROR(receipt_stub.SetPicture("PictLogoBanco", std::move(bank_picture)));
  BOLETO_ASSIGN_OR_RETURN(Picture copied, receipt_stub.GetPicture("PictLogoBanco"));
  return compensation_part.SetPicture("PictLogoBanco", std::move(copied));
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

// Everything from the printer set-up to the page handed to its destination.
Status PrintBoleto(RunContext& ctx, RunState& state) {
  Database& db = *ctx.db;
  const InstallmentKey& key = ctx.key;
  const BankSettings& bank = ctx.bank;

  // Printer set-up.
  BOLETO_ASSIGN_OR_RETURN(
      state.job,
      PrintJob::Open(PageDestination{
          ctx.destination.output_file, ctx.destination.printer_name,
          PrintJobName(key.codigo_emp, key.codigo_documento, key.serie, key.numero, key.parcela)}));
  state.job->Setup();

  // The installment, while it is still to be collected.
  BOLETO_ASSIGN_OR_RETURN(const RowSet installment, QueryInstallment(ctx));
  if (installment.eof()) {
    state.nothing_to_print = true;
    return Status::Ok();
  }
  BOLETO_ASSIGN_OR_RETURN(const InstallmentRow row, ReadInstallmentRow(ctx, installment));
  if (row.receipt == Receipt::kOther) {
    ctx.messages->Show(ctx.message_prefix + kOtherReceiptMessage, MessageIcon::kExclamation);
    state.refused = true;
    return Status::Ok();
  }
  const InstallmentAmounts& in = row.amounts;
  BOLETO_ASSIGN_OR_RETURN(const BoletoAmounts amounts,
                          ComputeBoletoAmounts(in, bank, ctx.company.moeda_padrao));
  const std::string doc_number(TrimBlanks(key.numero));
  const std::string installment_no(TrimBlanks(key.parcela));

  BoletoFieldValues values;
  BOLETO_ASSIGN_OR_RETURN(
      values.species_code,
      TextOrNothing(db,
                    SpeciesQuery(ctx.params.codigo_emp, bank.banco_cobranca, key.codigo_documento),
                    "CodigoEspecieB"));
  BOLETO_ASSIGN_OR_RETURN(values.beneficiary,
                          ReadBeneficiary(db, ctx.params.codigo_emp, ctx.company.nome));
  BOLETO_ASSIGN_OR_RETURN(values.installment_count,
                          TextOrNothing(db, InstallmentCountQuery(key), "QtdParcelas"));
  BOLETO_ASSIGN_OR_RETURN(values.payer, ReadPayer(db, bank.tipo_empresa, bank.codigo_empresa,
                                                  ctx.company.end_cobranca));

  LayoutForm receipt_stub(ReceiptStubTemplate());
  LayoutForm compensation_part(CompensationPartTemplate());
  BOLETO_RETURN_IF_ERROR(LoadLogos(ctx, receipt_stub, compensation_part));

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
  values.processing_date = ServerNow(db, ctx.params.database_type);
  values.carteira = bank.carteira;
  values.currency_code = in.moeda;
  values.amounts = amounts;
  values.bank_fields = bank_fields;
  values.printed_line = line.printed;
  BOLETO_ASSIGN_OR_RETURN(const std::vector<FieldAssignment> map, BoletoFieldMap(values));
  BOLETO_RETURN_IF_ERROR(ApplyFieldMap(map, receipt_stub, compensation_part));

  // Both parts on one page, handed to the destination before any recording.
  BOLETO_RETURN_IF_ERROR(state.job->Render(receipt_stub, compensation_part, ctx.txt_desc_banco));
  BOLETO_RETURN_IF_ERROR(state.job->CompletePage());

  state.printed.id_bancaria = bank_fields.id_bancaria;
  state.printed.discount_limit_date = amounts.discount_limit_date;
  state.printed.amount_due = amounts.amount_due;
  return Status::Ok();
}

}  // namespace

RunOutcome BoletoRun(RunContext& ctx) {
  const std::string local_anexo = PrintDirectory(ctx);
  if (DirectoryMissing(local_anexo)) {
    ctx.messages->Show(kPrintDirectoryMessage, MessageIcon::kExclamation);
    return RunOutcome::kDirectoryRefused;
  }
  if (DirectoryMissing(JoinPath(JoinPath(local_anexo, "BMP"), ctx.params.codigo_emp))) {
    ctx.messages->Show(kLogoDirectoryMessage, MessageIcon::kExclamation);
    return RunOutcome::kDirectoryRefused;
  }

  RunState state;
  const Status printed = PrintBoleto(ctx, state);
  if (!printed.ok()) {
    ReportRunError(ctx, printed.error(), "");
    if (state.job) state.job->Close();  // drops the page: nothing is printed
    return RunOutcome::kErrorReported;
  }
  if (state.nothing_to_print || state.refused) {
    state.job->Close();
    return state.refused ? RunOutcome::kRefused : RunOutcome::kNothingToPrint;
  }

  // The page is out: record it on the installment, all or nothing, if it
  // still gives the amount printed.
  const RecordingOutcome recorded = RecordPrintedBoleto(ctx, state.printed, InstallmentAmountDue);
  state.job->Close();
  switch (recorded) {
    case RecordingOutcome::kRecorded:
      return RunOutcome::kPrinted;
    case RecordingOutcome::kChanged:
      return RunOutcome::kRefused;
    case RecordingOutcome::kFailed:
      break;
  }
  return RunOutcome::kErrorReported;
}

}  // namespace boleto
