#include "validation/eligibility.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <limits>
#include <optional>
#include <span>

#include "bankrules/free_field_settings.h"
#include "db/columns.h"
#include "db/sql_text.h"
#include "platform/text.h"
#include "validation/installment_key.h"

namespace boleto {
namespace {

// The banks whose reference number and free field this program composes.
constexpr std::array<std::string_view, 10> kSupportedBanks = {"409", "237", "001", "399", "033",
                                                              "356", "341", "104", "756", "021"};

// A PARCELAR.RefBancaria of ten zeros: the installment is in no remittance.
constexpr std::string_view kNoRemittance = "0000000000";
// The receipt document that the boleto itself writes back on printing.
constexpr std::string_view kBoletoReceipt = "BOL-BANCAR";
// DOCUMENTOR.Status of a cancelled document, as the CHAR(2) column holds it.
constexpr std::string_view kCancelledStatus = "C ";
// DOCUMENTO.Tipo of a forecast document, which is never collected.
constexpr std::string_view kForecastDocument = "6";
// LookupBankDescription without a row, for the bank's name.
constexpr size_t kMissingNameBlanks = 30;
// Raised when the check is asked to run without an open connection.
constexpr int32_t kNoConnection = 91;

constexpr std::string_view kMsgNoInstallment = "-Parcela a Receber não cadastrada, verifique.";
constexpr std::string_view kMsgCancelled = "-Documento Cancelado. Verifique e corrija";
constexpr std::string_view kMsgPaid = "-Parcela quitada. Verifique e corrija";
constexpr std::string_view kMsgInRemittance = "-Parcela em remessa bancaria. Verifique e corrija";
constexpr std::string_view kMsgOtherCollection =
    "-Parcela já esta associada a forma de cobrança. Verifique e corrija";
constexpr std::string_view kMsgBankNotImplemented =
    "-Boleto sem registro não implementado para Banco: ";
constexpr std::string_view kMsgBankNotImplementedEnd =
    ". Entre em contato com o suporte ao aplicativo.";
constexpr std::string_view kMsgNoBank = "-Banco de Cobrança não cadastrado. Verifique e corrija";
constexpr std::string_view kMsgCurrency =
    "-Moeda do documento diverge da moeda do Banco de Cobrança. Verifique e corrija";
constexpr std::string_view kMsgNoDocumentType =
    "-Código de Documento não cadastrado. Verifique e corrija";
constexpr std::string_view kMsgForecast = "-Documento de previsão. Verifique e corrija";
constexpr std::string_view kMsgNoPortfolio =
    "-Código de Carteira da parcela não cadastrada. Verifique e corrija";
constexpr std::string_view kMsgNoAccount = "-Conta Corrente não cadastrada. Verifique e corrija";
constexpr std::string_view kMsgAmountRange =
    "-Valor da parcela fora do intervalo permitido para geração de boleta. Verifique e corrija";
constexpr std::string_view kMsgNoSrData =
    "-Inf. Bancárias para Boleto sem registro não cadastrada. Verifique e corrija";
constexpr std::string_view kMsgPortfolioNotImplemented = "-Carteira ";
constexpr std::string_view kMsgPortfolioNotImplementedMid =
    " não implementada para boleto sem registro do Banco: ";
constexpr std::string_view kMsgPortfolioNotImplementedEnd = ". Verifique e corrija";
constexpr std::string_view kMsgBeneficiaryCodeLength =
    "-Código do Beneficiário deve ter 6 ou 16 posições para o Banco: 104. Verifique e corrija";
constexpr std::string_view kMsgAccountWithoutDigit =
    "-Conta Corrente sem dígito verificador para o Banco: 341. Verifique e corrija";

std::string Join(std::initializer_list<std::string_view> pieces) {
  std::string out;
  for (std::string_view piece : pieces) out += piece;
  return out;
}

// The largest whole number not above `value`, as a 16-bit integer.
Result<int16_t> FloorToInt16(Currency value) {
  int64_t raw = value.raw();
  int64_t whole = raw / Currency::kScale;
  if (raw % Currency::kScale < 0) --whole;
  if (whole < std::numeric_limits<int16_t>::min() || whole > std::numeric_limits<int16_t>::max()) {
    return MakeError(error_number::kOverflow, "Overflow");
  }
  return static_cast<int16_t>(whole);
}

// A text column and the setting it is read into.
struct TextColumn {
  const char* column;
  std::string* target;
};

// Reads each column into its setting, in order; the first error stops.
Status ReadTextColumns(const RowSet& rows, std::span<const TextColumn> columns) {
  for (const TextColumn& text : columns) {
    BOLETO_ASSIGN_OR_RETURN(*text.target, rows.Text(text.column));
  }
  return Status::Ok();
}

class EligibilityCheck {
 public:
  explicit EligibilityCheck(RunContext& ctx) : ctx_(ctx), db_(*ctx.db), bank_(ctx.bank) {}

  // Runs the rules in order; an error ends the check at once.
  Status Run();
  bool refused() const { return refused_; }
  // The errors shown on the way that did not end the check.
  std::vector<Error>& errors_shown() { return errors_shown_; }

 private:
  // Reads the installment and its document; `found` is false without a row.
  Status CheckInstallment(bool& found);
  Status CheckBank();
  Status SetBankDescription();
  Status CheckDocumentType();
  Status CheckInstallmentPortfolio();
  // The collecting account, its boleto settings and what hangs off them.
  Status CheckAccount();
  Status ReadAccountSettings(const RowSet& account);
  // INSTRUCAO.Descricao of one instruction code; empty without a row.
  Status ReadInstructionText(const std::string& code, std::string& text);
  Status ReadCarteiraExt();
  void CheckFreeFieldSettings();

  Result<Currency> ReadAmount(const RowSet& rows, std::string_view column) const;
  // The installment and account queries use the engine's defaults on SQL Server.
  QueryMode SqlServerSensitiveMode() const { return InstallmentQueryMode(ctx_.dialect); }
  void Refuse(std::string_view text);
  // The bank's name, the error of its lookup kept among those shown.
  std::string BankName();

  RunContext& ctx_;
  Database& db_;
  BankSettings& bank_;
  bool refused_ = false;
  std::vector<Error> errors_shown_;
  Currency valor_;     // PARCELAR.Valor
  std::string moeda_;  // DOCUMENTOR.Moeda as stored
};

void EligibilityCheck::Refuse(std::string_view text) {
  refused_ = true;
  ctx_.messages->Show(ctx_.message_prefix + std::string(text), MessageIcon::kExclamation);
}

std::string EligibilityCheck::BankName() {
  Recovered<std::string> name =
      LookupBankDescription(ctx_, ctx_.key.codigo_emp, bank_.banco_cobranca, "N");
  if (name.error) errors_shown_.push_back(std::move(*name.error));
  return std::move(name.value);
}

Result<Currency> EligibilityCheck::ReadAmount(const RowSet& rows, std::string_view column) const {
  // NULL is an error here, unlike in the amounts of the boleto run.
  BOLETO_RETURN_IF_ERROR(rows.Text(column).status());
  return AmountColumn(rows, column, ctx_.decimal_mark);
}

Status EligibilityCheck::Run() {
  bool found = false;
  BOLETO_RETURN_IF_ERROR(CheckInstallment(found));
  if (!found) return Status::Ok();

  if (std::find(kSupportedBanks.begin(), kSupportedBanks.end(), bank_.banco_cobranca) ==
      kSupportedBanks.end()) {
    Refuse(Join({kMsgBankNotImplemented, bank_.banco_cobranca, kMsgBankNotImplementedEnd}));
  }
  BOLETO_RETURN_IF_ERROR(CheckBank());
  BOLETO_RETURN_IF_ERROR(SetBankDescription());
  BOLETO_RETURN_IF_ERROR(CheckDocumentType());
  BOLETO_RETURN_IF_ERROR(CheckInstallmentPortfolio());
  BOLETO_RETURN_IF_ERROR(CheckAccount());

  // An account set up for another portfolio refuses without a message of
  // its own (also when the account rules above stopped early).
  if (bank_.carteira_sr != bank_.carteira) refused_ = true;
  return Status::Ok();
}

Status EligibilityCheck::CheckInstallment(bool& found) {
  const InstallmentKey& key = ctx_.key;
  const std::string sql =
      EligibilityInstallmentQuery(key, std::span(&key.numero, 1), std::span(&key.parcela, 1));
  BOLETO_ASSIGN_OR_RETURN(const RowSet rows, db_.Query(sql, SqlServerSensitiveMode()));
  if (rows.eof()) {
    found = false;
    Refuse(kMsgNoInstallment);
    return Status::Ok();
  }
  found = true;

  const TextColumn texts[] = {
      {"TipoEmpresa", &bank_.tipo_empresa},     {"CodigoEmpresa", &bank_.codigo_empresa},
      {"BancoCobranca", &bank_.banco_cobranca}, {"AgenciaCobranca", &bank_.agencia_cobranca},
      {"ContaCobranca", &bank_.conta_cobranca}, {"Carteira", &bank_.carteira}};
  BOLETO_RETURN_IF_ERROR(ReadTextColumns(rows, texts));
  BOLETO_ASSIGN_OR_RETURN(valor_, ReadAmount(rows, "Valor"));
  BOLETO_ASSIGN_OR_RETURN(moeda_, rows.Text("Moeda"));

  BOLETO_ASSIGN_OR_RETURN(const std::optional<std::string> status, rows.Value("StatusDoc"));
  if (status && *status == kCancelledStatus) Refuse(kMsgCancelled);

  BOLETO_ASSIGN_OR_RETURN(const std::optional<std::string> recebimento, rows.Value("Recebimento"));
  if (recebimento) Refuse(kMsgPaid);

  // An empty reference is no remittance of ours either: only NULL and ten
  // zeros pass.
  BOLETO_ASSIGN_OR_RETURN(const std::optional<std::string> ref_bancaria, rows.Value("RefBancaria"));
  if (ref_bancaria && *ref_bancaria != kNoRemittance) Refuse(kMsgInRemittance);

  BOLETO_ASSIGN_OR_RETURN(const std::optional<std::string> docto_recebimento,
                          rows.Value("DoctoRecebimento"));
  if (docto_recebimento) {
    std::string_view receipt = TrimBlanks(*docto_recebimento);
    if (!receipt.empty() && receipt != kBoletoReceipt) Refuse(kMsgOtherCollection);
  }
  return Status::Ok();
}

Status EligibilityCheck::CheckBank() {
  bank_.val_desp_cob = Currency();
  std::string sql = Join({"SELECT * FROM BANCO ", " WHERE CODIGOEMP = '",
                          SqlQuote(ctx_.key.codigo_emp), "' ", "  AND  CODIGO    = '",
                          SqlQuote(bank_.banco_cobranca), "' ", " ORDER BY CODIGOEMP, CODIGO "});
  BOLETO_ASSIGN_OR_RETURN(const RowSet rows, db_.QuerySetting(sql));
  if (rows.eof()) {
    Refuse(kMsgNoBank);
    return Status::Ok();
  }
  BOLETO_ASSIGN_OR_RETURN(const std::optional<std::string> moeda, rows.Value("Moeda"));
  if (moeda && *moeda != moeda_) Refuse(kMsgCurrency);
  BOLETO_ASSIGN_OR_RETURN(bank_.val_desp_cob, ReadAmount(rows, "ValDespCob"));
  // A negative fee would print one amount and record another: a settings
  // error, reported before anything is printed.
  if (bank_.val_desp_cob < Currency()) {
    BOLETO_ASSIGN_OR_RETURN(const std::string stored, rows.Text("ValDespCob"));
    return MakeError(
        error_number::kTypeMismatch,
        "ValDespCob: Type mismatch: \"" + stored + "\" is no fee: a bank's fee is never negative");
  }
  return Status::Ok();
}

Status EligibilityCheck::SetBankDescription() {
  std::string sql =
      Join({"SELECT DescricaoBanco, DescricaoBol1 FROM PARAMBANBOL WHERE CODIGOEMP = '",
            SqlQuote(ctx_.key.codigo_emp), "' AND CODIGOBANCO = '", SqlQuote(bank_.banco_cobranca),
            "' "});
  BOLETO_ASSIGN_OR_RETURN(const RowSet rows, db_.QuerySetting(sql));
  if (!rows.eof()) {
    BOLETO_ASSIGN_OR_RETURN(const std::string description, rows.Text("DescricaoBanco"));
    bank_.bank_description = std::string(TrimRightBlanks(description));
  } else {
    // Without a boleto description the bank's name stands in, up to and
    // including its first blank ("BANCO XPTO S.A." gives "BANCO ").
    std::string name = BankName();
    size_t blank = name.find(' ');
    bank_.bank_description = blank == std::string::npos ? std::string() : name.substr(0, blank + 1);
  }
  ctx_.txt_desc_banco = bank_.bank_description;
  return Status::Ok();
}

Status EligibilityCheck::CheckDocumentType() {
  std::string sql =
      Join({"SELECT TIPO FROM DOCUMENTO ", " WHERE CODIGOEMP = '", SqlQuote(ctx_.key.codigo_emp),
            "' ", "  AND  CODIGO    = '", SqlQuote(ctx_.key.codigo_documento), "' ",
            " ORDER BY CODIGOEMP, CODIGO"});
  BOLETO_ASSIGN_OR_RETURN(const RowSet rows, db_.QuerySetting(sql));
  if (rows.eof()) {
    Refuse(kMsgNoDocumentType);
    return Status::Ok();
  }
  BOLETO_ASSIGN_OR_RETURN(const std::optional<std::string> tipo, rows.Value("TIPO"));
  if (tipo && *tipo == kForecastDocument) Refuse(kMsgForecast);
  return Status::Ok();
}

Status EligibilityCheck::CheckInstallmentPortfolio() {
  std::string sql = Join(
      {"SELECT * FROM CARTEIRA ", " WHERE CODIGOEMP   = '", SqlQuote(ctx_.key.codigo_emp), "' ",
       "  AND  CODIGOBANCO = '", SqlQuote(bank_.banco_cobranca), "' ", "  AND  CODIGO      = '",
       SqlQuote(bank_.carteira), "' ", " ORDER BY CODIGOEMP, CODIGOBANCO, CODIGO"});
  BOLETO_ASSIGN_OR_RETURN(const RowSet rows, db_.QuerySetting(sql));
  if (rows.eof()) Refuse(kMsgNoPortfolio);
  return Status::Ok();
}

Status EligibilityCheck::CheckAccount() {
  std::string sql =
      Join({"SELECT * FROM CONTA ", " WHERE CODIGOEMP = '", SqlQuote(ctx_.key.codigo_emp), "' ",
            "  AND  CODIGOBANCO   = '", SqlQuote(bank_.banco_cobranca), "' ",
            "  AND  CODIGOAGENCIA = '", SqlQuote(bank_.agencia_cobranca), "' ",
            "  AND  CODIGO        = '", SqlQuote(bank_.conta_cobranca), "' ",
            " ORDER BY CODIGOEMP, CODIGOBANCO, CODIGOAGENCIA, CODIGO"});
  BOLETO_ASSIGN_OR_RETURN(const RowSet rows, db_.QuerySetting(sql, SqlServerSensitiveMode()));
  if (rows.eof()) {
    Refuse(kMsgNoAccount);
    return Status::Ok();
  }

  // Limits equal to the amount still allow the boleto.
  Currency minimum;
  Currency maximum;
  BOLETO_ASSIGN_OR_RETURN(minimum, ReadAmount(rows, "VALORMINIMOBOL"));
  BOLETO_ASSIGN_OR_RETURN(maximum, ReadAmount(rows, "VALORMAXIMOBOL"));
  if (valor_ < minimum || valor_ > maximum) Refuse(kMsgAmountRange);

  std::optional<std::string> identificacao;
  std::optional<std::string> carteira_sr;
  BOLETO_ASSIGN_OR_RETURN(identificacao, rows.Value("IdentificacaoSR"));
  BOLETO_ASSIGN_OR_RETURN(carteira_sr, rows.Value("CarteiraSR"));
  bool no_identificacao = !identificacao || TrimBlanks(*identificacao).empty();
  bool no_carteira_sr = !carteira_sr || TrimBlanks(*carteira_sr).empty();
  if (no_identificacao && no_carteira_sr) {
    Refuse(kMsgNoSrData);
    return Status::Ok();
  }

  BOLETO_RETURN_IF_ERROR(ReadAccountSettings(rows));
  BOLETO_RETURN_IF_ERROR(ReadInstructionText(bank_.instrucao1_bol, bank_.instrucao1_text));
  BOLETO_RETURN_IF_ERROR(ReadInstructionText(bank_.instrucao2_bol, bank_.instrucao2_text));
  BOLETO_RETURN_IF_ERROR(ReadCarteiraExt());
  CheckFreeFieldSettings();
  bank_.bank_name = BankName();
  return Status::Ok();
}

Status EligibilityCheck::ReadAccountSettings(const RowSet& account) {
  BOLETO_ASSIGN_OR_RETURN(const std::string stored, account.Text("IdentificacaoSR"));
  bank_.sr_identification = MakeBeneficiaryCodeForms(stored);

  const TextColumn settings[] = {
      {"CarteiraSR", &bank_.carteira_sr},    {"DescontoBol", &bank_.desconto_bol},
      {"JurosBol", &bank_.juros_bol},        {"MultaBol", &bank_.multa_bol},
      {"DespBancBol", &bank_.desp_banc_bol}, {"GeraRemessaBolSR", &bank_.gera_remessa_bol_sr},
      {"DataAnteBol", &bank_.data_ante_bol}};
  BOLETO_RETURN_IF_ERROR(ReadTextColumns(account, settings));

  BOLETO_ASSIGN_OR_RETURN(const Currency antecipa, ReadAmount(account, "AntecipaBol"));
  BOLETO_ASSIGN_OR_RETURN(bank_.antecipa_bol, FloorToInt16(antecipa));

  BOLETO_ASSIGN_OR_RETURN(bank_.alt_data_ante_bol, account.Text("AltDataAnteBol"));
  BOLETO_ASSIGN_OR_RETURN(bank_.instrucao1_bol, account.Text("Instrucao1BOL"));
  BOLETO_ASSIGN_OR_RETURN(bank_.instrucao2_bol, account.Text("Instrucao2BOL"));
  return Status::Ok();
}

Status EligibilityCheck::ReadInstructionText(const std::string& code, std::string& text) {
  std::string sql =
      Join({"SELECT Codigo, Descricao FROM INSTRUCAO WHERE CODIGOEMP = '",
            SqlQuote(ctx_.key.codigo_emp), "' ", " AND CODIGOBANCO = '",
            SqlQuote(bank_.banco_cobranca), "' ", " AND CODIGO      = '", SqlQuote(code), "' "});
  BOLETO_ASSIGN_OR_RETURN(const RowSet rows, db_.QuerySetting(sql));
  text.clear();
  if (rows.eof()) return Status::Ok();
  BOLETO_ASSIGN_OR_RETURN(text, rows.Text("Descricao"));
  return Status::Ok();
}

Status EligibilityCheck::ReadCarteiraExt() {
  std::string sql =
      Join({"SELECT CarteiraExt FROM CARTEIRA WHERE CODIGOEMP = '", SqlQuote(ctx_.key.codigo_emp),
            "' ", " AND CODIGOBANCO = '", SqlQuote(bank_.banco_cobranca), "' ",
            " AND CODIGO      = '", SqlQuote(bank_.carteira_sr), "' "});
  BOLETO_ASSIGN_OR_RETURN(const RowSet rows, db_.QuerySetting(sql));
  bank_.carteira_ext.clear();
  if (rows.eof()) return Status::Ok();
  BOLETO_ASSIGN_OR_RETURN(bank_.carteira_ext, rows.Text("CarteiraExt"));
  return Status::Ok();
}

// Settings from which the bank's 25-digit free field cannot be composed
// would print a barcode that no bank reads: refuse them here.
void EligibilityCheck::CheckFreeFieldSettings() {
  switch (FreeFieldSettingsProblem(bank_.banco_cobranca, bank_.carteira_ext,
                                   bank_.sr_identification.stored, bank_.conta_cobranca)) {
    case FreeFieldProblem::kNone:
      break;
    case FreeFieldProblem::kUnsupportedPortfolio:
      Refuse(Join({kMsgPortfolioNotImplemented, TrimBlanks(bank_.carteira_ext),
                   kMsgPortfolioNotImplementedMid, bank_.banco_cobranca,
                   kMsgPortfolioNotImplementedEnd}));
      break;
    case FreeFieldProblem::kBeneficiaryCodeLength:
      Refuse(kMsgBeneficiaryCodeLength);
      break;
    case FreeFieldProblem::kAccountWithoutDigit:
      Refuse(kMsgAccountWithoutDigit);
      break;
  }
}

}  // namespace

Eligibility CheckInstallmentEligibility(RunContext& ctx) {
  ctx.key = NormalizeInstallmentKey(ctx.params);
  ctx.message_prefix = MessagePrefix(ctx.key);
  ctx.bank = BankSettings();
  ctx.txt_desc_banco.clear();
  if (ctx.db == nullptr) {
    ReportError(*ctx.messages, MakeError(kNoConnection, "No database connection is open."), "");
    return {EligibilityOutcome::kErrorReported, {}};
  }

  EligibilityCheck check(ctx);
  Status status = check.Run();
  if (!status.ok()) {
    ReportError(*ctx.messages, status.error(), "");
    return {EligibilityOutcome::kErrorReported, std::move(check.errors_shown())};
  }
  return {check.refused() ? EligibilityOutcome::kRefused : EligibilityOutcome::kAccepted,
          std::move(check.errors_shown())};
}

Recovered<std::string> LookupBankDescription(RunContext& ctx, std::string_view company,
                                             std::string_view bank, std::string_view kind) {
  const bool currency = kind == "M";
  std::string fallback = currency ? ctx.company.moeda_padrao : std::string(kMissingNameBlanks, ' ');
  std::string sql = currency ? "SELECT MOEDA AS Descricao " : "SELECT Nome AS Descricao ";
  sql += " FROM Banco WHERE ";
  if (company != "SEM EMPRESA") sql += Join({" CodigoEmp = '", SqlQuote(company), "' AND "});
  sql += Join({" Codigo = '", SqlQuote(bank), "' "});

  const std::string context = Join({"Erro na obtenção do Banco: ", bank});
  // Shows the error and goes on with the fallback.
  const auto shown = [&](const Error& error) -> Recovered<std::string> {
    ReportError(*ctx.messages, error, context);
    return {std::move(fallback), error};
  };
  if (ctx.db == nullptr) return shown(MakeError(kNoConnection, "No database connection is open."));
  Result<RowSet> rows = ctx.db->QuerySetting(sql);
  if (!rows.ok()) return shown(rows.error());
  if (rows->eof()) return {std::move(fallback), {}};
  Result<std::string> description = rows->Text("Descricao");
  if (!description.ok()) return shown(description.error());
  return {std::move(description).value(), {}};
}

std::string EligibilityInstallmentQuery(const InstallmentKey& key,
                                        std::span<const std::string> numeros,
                                        std::span<const std::string> parcelas) {
  return Join({
      " SELECT DOCUMENTOR.CodigoEmp AS CodigoEmp,",
      " DOCUMENTOR.CodigoUnidade    AS CodigoUnidade,",
      " DOCUMENTOR.CodigoDocumento  AS CodigoDocumento,",
      " DOCUMENTOR.Serie            AS Serie,",
      " DOCUMENTOR.Numero           AS Numero,",
      " PARCELAR.Parcela            AS Parcela, ",
      " DOCUMENTOR.TipoEmpresa      AS TipoEmpresa,",
      " DOCUMENTOR.CodigoEmpresa    AS CodigoEmpresa,",
      " SUPAEMPR.AEMPR_RAZAO_SOCIAL AS NomeEmpresa,",
      " PARCELAR.Emissao            AS Emissao, ",
      " DOCUMENTOR.Chegada          AS Chegada, ",
      " PARCELAR.Vencimento         AS Vencimento, ",
      " PARCELAR.BancoCobranca      AS BancoCobranca, ",
      " PARCELAR.AgenciaCobranca    AS AgenciaCobranca, ",
      " PARCELAR.ContaCobranca      AS ContaCobranca, ",
      " PARCELAR.CodigoCarteira     AS Carteira, ",
      " PARCELAR.Valor              AS Valor, ",
      " PARCELAR.IDBancaria         AS IDBancaria,",
      " PARCELAR.RefBancaria        AS RefBancaria, ",
      " PARCELAR.Recebimento        AS Recebimento, ",
      " PARCELAR.DoctoRecebimento   AS DoctoRecebimento, ",
      " DOCUMENTOR.Status           AS StatusDoc, ",
      " DOCUMENTOR.Moeda            AS Moeda  ",
      " FROM DOCUMENTOR, PARCELAR, SUPAEMPR ",
      " WHERE PARCELAR.CODIGOEMP       = '",
      SqlQuote(key.codigo_emp),
      "' ",
      "  AND  PARCELAR.CODIGOUNIDADE   = '",
      SqlQuote(key.codigo_unidade),
      "' ",
      "  AND  PARCELAR.CODIGODOCUMENTO = '",
      SqlQuote(key.codigo_documento),
      "' ",
      "  AND  PARCELAR.SERIE           = '",
      SqlQuote(key.serie),
      "' ",
      "  AND  PARCELAR.NUMERO          ",
      SqlEqualsOrIn(numeros),
      " ",
      "  AND  PARCELAR.PARCELA         ",
      SqlEqualsOrIn(parcelas),
      " ",
      DocumentsByKeySql(key.codigo_emp, key.codigo_unidade, key.codigo_documento, key.serie,
                        numeros),
      "  AND  PARCELAR.CODIGOEMP       = DOCUMENTOR.CODIGOEMP ",
      "  AND  PARCELAR.CODIGOUNIDADE   = DOCUMENTOR.CODIGOUNIDADE ",
      "  AND  PARCELAR.CODIGODOCUMENTO = DOCUMENTOR.CODIGODOCUMENTO ",
      "  AND  PARCELAR.SERIE           = DOCUMENTOR.SERIE ",
      "  AND  PARCELAR.NUMERO          = DOCUMENTOR.NUMERO ",
      "  AND  DOCUMENTOR.TipoEmpresa   = SUPAEMPR.AEMPR_TIPO ",
      "  AND  DOCUMENTOR.CodigoEmpresa = SUPAEMPR.AEMPR_CODIGO ",
      " ORDER BY 1,2,3,4,5,6 ",
  });
}

}  // namespace boleto
