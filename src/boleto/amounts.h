// The money of one boleto: the base amount, the discount with its
// anticipation rule, the daily interest, the fine, the amount due that is
// printed as the document value and encoded in the barcode, the value box,
// and the seven instruction lines with their fixed wording and order. Pure
// functions over fixed-point currency; nothing here reads the database.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/currency.h"
#include "platform/date.h"
#include "platform/status.h"
#include "run/run_context.h"

namespace boleto {

// The installment's amount columns (already converted to currency), its
// currency code and its dates, as read by the installment query.
struct InstallmentAmounts {
  Currency resultado;            // PARCELAR.Valor: the gross value
  Currency impostos;             // the six withheld taxes added up
  Currency valor_outro_d;        // other deductions
  Currency valor_outro_c;        // other additions
  Currency valor_desconto;       // discount value
  Currency percentual_desconto;  // discount percentage
  Currency percentual_juros;     // interest percentage per day
  Currency valor_multa;          // fine value
  Currency percentual_multa;     // fine percentage
  std::string moeda;             // DOCUMENTOR.Moeda as read
  Date emissao;
  Date vencimento;
};

// Everything the amounts decide for the printed page and the recording.
struct BoletoAmounts {
  Currency base_amount;
  Currency discount_amount;
  // Set only when both the discount and the anticipation rule apply.
  std::optional<Date> discount_limit_date;
  Currency amount_due;  // in whole cents: the page, the barcode and the recording use it
  Currency daily_interest_amount;
  Currency fine_amount;
  std::string value_text;        // Resultado with the money mask
  std::string amount_due_text;   // AmountDue with the money mask
  std::string quantity_caption;  // lblQuantidade: "1" or a single blank
  std::string value_caption;     // lblValor: ValueText or a single blank
  // Captions of lblIntrucao1 ... lblIntrucao7; unused lines stay empty.
  std::array<std::string, 7> instruction_lines;
};

// Computes the amounts and the instruction lines of one boleto from the
// installment, the collecting account's settings (`bank`: fee, flags,
// anticipation days, instruction texts, bank code) and the company's default
// currency. Error 6 (overflow) when an amount leaves the currency's range.
Result<BoletoAmounts> ComputeBoletoAmounts(const InstallmentAmounts& installment,
                                           const BankSettings& bank, std::string_view moeda_padrao);

}  // namespace boleto
