// The state of one run, passed explicitly from stage to stage: the run
// parameters of the argument text, the company parameters, the normalized
// installment key and the bank settings gathered by the eligibility check,
// with the database, the messages and the print destination they use.
#pragma once

#include <cstdint>
#include <string>

#include "bankrules/bank_fields.h"
#include "db/database.h"
#include "db/dialect.h"
#include "db/error_report.h"
#include "platform/currency.h"
#include "platform/messages.h"

namespace boleto {

// The nine fixed-column fields of the argument text.
struct RunParameters {
  std::string database_type;     // columns 1-15, trimmed: the dialect tag as read
  std::string connect_string;    // columns 16-78, trimmed
  std::string codigo_emp;        // columns 80-81
  std::string codigo_unidade;    // columns 83-90
  std::string codigo_documento;  // columns 92-101
  std::string serie;             // columns 103-105
  std::string numero;            // columns 107-114
  std::string parcela;           // columns 116-117
  std::string matr_sel;          // columns 119-133: the requesting user
};

// The installment's key as every statement writes it: unit, document,
// series and number blank-padded to 8, 10, 3 and 8, installment zero-padded
// to 2, company as read.
struct InstallmentKey {
  std::string codigo_emp;
  std::string codigo_unidade;
  std::string codigo_documento;
  std::string serie;
  std::string numero;
  std::string parcela;
};

struct CompanyParameters {
  std::string nome;          // EMPRESA.NOME as read
  std::string moeda_padrao;  // EMPRESA.MOEDAPADRAO as read
  std::string end_cobranca;  // EMPRESA.ENDCOBRANCA: "00" selects the payer's own address
  std::string local_anexo;   // PARAMIMP.LOCALANEXO trimmed: the print directory
};

// CONTA.IdentificacaoSR, the beneficiary code, as stored and in its
// fixed-width forms; the bank rules define them.
using SrIdentification = BeneficiaryCodeForms;

struct BankSettings {
  std::string banco_cobranca;    // PARCELAR.BancoCobranca: three-digit bank code
  std::string agencia_cobranca;  // PARCELAR.AgenciaCobranca
  std::string conta_cobranca;    // PARCELAR.ContaCobranca
  std::string carteira;          // PARCELAR.CodigoCarteira
  std::string tipo_empresa;      // DOCUMENTOR.TipoEmpresa: payer type
  std::string codigo_empresa;    // DOCUMENTOR.CodigoEmpresa: payer code
  Currency val_desp_cob;         // BANCO.ValDespCob; 0 without a bank row
  std::string bank_description;  // printed where no bank logo exists
  std::string bank_name;         // BANCO.Nome
  std::string carteira_sr;       // CONTA.CarteiraSR
  std::string carteira_ext;      // CARTEIRA.CarteiraExt of CarteiraSR
  SrIdentification sr_identification;
  std::string desconto_bol;
  std::string juros_bol;
  std::string multa_bol;
  std::string desp_banc_bol;
  std::string gera_remessa_bol_sr;
  std::string data_ante_bol;
  std::string alt_data_ante_bol;
  int16_t antecipa_bol = 0;
  std::string instrucao1_bol;
  std::string instrucao2_bol;
  std::string instrucao1_text;  // INSTRUCAO.Descricao; empty without a row
  std::string instrucao2_text;

  bool operator==(const BankSettings&) const = default;
};

// Where the finished page goes: a file (PDF or PNG by extension) or a CUPS
// destination (empty: the default one); for a batch, also a folder that
// gets a PDF file per page.
struct PrintDestination {
  std::string output_file;
  std::string printer_name;
  std::string output_folder;
};

struct RunContext {
  RunParameters params;
  // params.database_type read once the start-up has accepted it: every SQL
  // text of the run is written for this dialect.
  Dialect dialect = Dialect::kSqlite;
  std::string decimal_mark;  // "." once the argument text has been read
  Database* db = nullptr;
  Messages* messages = nullptr;
  PrintDestination destination;
  bool preview = false;  // the page marked as a preview; nothing recorded

  CompanyParameters company;
  InstallmentKey key;
  std::string message_prefix;  // "Documento: ..." of the eligibility messages
  BankSettings bank;
  std::string txt_desc_banco;  // caption of txtDescBanco on frmTemporaria
};

}  // namespace boleto
