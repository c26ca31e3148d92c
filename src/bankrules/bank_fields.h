// Each collecting bank's own part of the boleto: the reference number
// ("nosso número") with its check digits, the 25-digit free field that fills
// barcode positions 20-44, the bank reference stored on the installment
// (IDBancaria) and how agency, beneficiary code, reference number and
// portfolio are printed. Ten banks, tried in the order 409, 237, 001, 033,
// 356, 341, 399, 104, 756, 021.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace boleto {

// The beneficiary code of the account's unregistered-collection settings
// (CONTA.IdentificacaoSR) as stored, and its fixed-width forms: trimmed, cut
// to its first n characters, zero-padded on the left to n.
struct BeneficiaryCodeForms {
  std::string stored;
  std::string digits5;
  std::string digits6;
  std::string digits7;
  std::string digits9;
  std::string digits11;

  bool operator==(const BeneficiaryCodeForms&) const = default;
};

// The forms of one stored beneficiary code ("  12345 " gives "12345",
// "012345", "0012345", "000012345", "00000012345").
BeneficiaryCodeForms MakeBeneficiaryCodeForms(std::string_view stored);

// Agency text as stored to four digits: trimmed, the part before its first
// "-", zero-padded and cut to the rightmost 4 (" 123-4" gives "0123").
std::string Agency4(std::string_view agencia_cobranca);
// Account text as stored to seven digits by the same rule ("12345-6" gives
// "0012345").
std::string Account7(std::string_view conta_cobranca);
// The one character after the first "-" of the trimmed account ("0" when the
// dash ends it); empty when the account has no "-".
std::string AccountDigit(std::string_view conta_cobranca);

// Everything a bank branch reads.
struct BankInput {
  std::string bank_code;         // BancoCobranca: "409", "237", ...
  std::string doc_number;        // the installment's Numero, trimmed
  std::string installment_no;    // the installment's Parcela, trimmed
  std::string agency4;           // Agency4(agencia_cobranca)
  std::string account7;          // Account7(conta_cobranca)
  std::string account_digit;     // AccountDigit(conta_cobranca)
  std::string agencia_cobranca;  // as stored
  std::string conta_cobranca;    // as stored
  BeneficiaryCodeForms identificacao_sr;
  std::string carteira_sr;          // the account's portfolio for unregistered boletos
  std::string carteira_ext;         // the bank's external code of that portfolio
  std::string gera_remessa_bol_sr;  // "S": a remittance row goes with the boleto
  std::string due_date_digits;      // due date "DDMMYYYY"
  std::string due_date_short;       // due date "DDMMYY"
};

// What a bank branch composes. Captions left empty (nullopt) are the ones
// the bank does not set; the boleto keeps its own text there.
struct BankFields {
  std::string free_field;      // 25 digits; empty when the settings cannot compose one
  std::string id_bancaria;     // the bank reference stored on the installment
  std::string agency_text;     // lblAgencia
  std::string reference_text;  // lblNossoNumero
  std::optional<std::string> portfolio_text;   // lblCarteira
  std::optional<std::string> acceptance_text;  // lblAceite
  std::optional<std::string> species_text;     // lblEspecie
};

// The fields of the branch of input.bank_code. An unknown bank, and bank
// settings for which FreeFieldSettingsProblem reports a problem of portfolio
// or code length, give empty fields; the digitable line then refuses the
// empty free field. Error 13 when a check digit meets a text that is not
// digits of its length (a document number with letters, a two-digit
// portfolio that is not two digits) or when bank 399 "CNR" meets an invalid
// due date.
Result<BankFields> ComposeBankFields(const BankInput& input);

}  // namespace boleto
