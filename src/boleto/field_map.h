// Which value goes into which label of the two layout forms, in the order
// the boleto fills them: the bank code box, payment place, installment,
// dates, beneficiary, document, species, acceptance, portfolio, currency,
// value box, document value, the blank amount boxes, the seven instruction
// lines, the payer lines, the bank's own captions and the digitable line.
// A value is set on the receipt stub first and copied from there to the
// compensation part's label of the same name, unless the map says otherwise.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "bankrules/bank_fields.h"
#include "boleto/amounts.h"
#include "boleto/parties.h"
#include "platform/date.h"
#include "platform/status.h"
#include "print/layout_form.h"

namespace boleto {

// Which forms a caption goes to.
enum class FieldForms {
  kBoth,              // set on the receipt stub, copied to the compensation part
  kEachDirectly,      // set on each form from the same value
  kReceiptStub,       // receipt stub only
  kCompensationPart,  // compensation part only
};

struct FieldAssignment {
  std::string control;
  FieldForms forms;
  std::string caption;
};

// The values of one boleto that the labels show.
struct BoletoFieldValues {
  std::string banco_cobranca;     // three-digit bank code
  std::string bank_name;          // the collecting bank's name
  std::string installment_no;     // trimmed Parcela
  std::string installment_count;  // number of installments of the document, as text
  std::string due_date_text;      // "DD/MM/YYYY"
  std::string issue_date_text;    // "DD/MM/YYYY"
  std::string document_text;      // document code, series and number
  std::string species_code;       // DOCESP.CodigoEspecieB, empty without a row
  Date processing_date;           // the server's date
  std::string carteira;           // the installment's portfolio code
  std::string currency_code;      // DOCUMENTOR.Moeda as read
  Beneficiary beneficiary;
  Payer payer;
  BoletoAmounts amounts;
  BankFields bank_fields;    // captions composed by the collecting bank's rules
  std::string printed_line;  // the 54-character digitable line
};

// "| 237-2 |": the bank code and its check digit between bars. Error when
// the code is not three digits.
Result<std::string> BankCodeCaption(std::string_view banco_cobranca);

// Every label assignment of the boleto in filling order; later assignments
// of the same label (the bank's species, acceptance and portfolio) win.
Result<std::vector<FieldAssignment>> BoletoFieldMap(const BoletoFieldValues& values);

// Applies the assignments to the two working forms: error 3265 when a form
// lacks a label the map names.
Status ApplyFieldMap(const std::vector<FieldAssignment>& map, LayoutForm& receipt_stub,
                     LayoutForm& compensation_part);

}  // namespace boleto
