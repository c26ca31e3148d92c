#include "boleto/field_map.h"

#include "bankrules/check_digits.h"
#include "platform/text.h"

namespace boleto {

Result<std::string> BankCodeCaption(std::string_view banco_cobranca) {
  auto digit = CheckDigitByMethod("B", banco_cobranca);
  if (!digit.ok()) return digit.error();
  return "| " + std::string(banco_cobranca) + "-" + *digit + " |";
}

Result<std::vector<FieldAssignment>> BoletoFieldMap(const BoletoFieldValues& v) {
  auto bank_code = BankCodeCaption(v.banco_cobranca);
  if (!bank_code.ok()) return bank_code.error();

  std::vector<FieldAssignment> map;
  map.reserve(48);
  auto both = [&map](std::string control, std::string caption) {
    map.push_back({std::move(control), FieldForms::kBoth, std::move(caption)});
  };

  both("lblCodigoBanco", std::move(*bank_code));
  both("lblLocalPagamento",
       "Pagável em qualquer banco. Após vencimento, pagável somente no " + v.bank_name);
  both("lblParcela",
       PadLeftKeepRight(v.installment_no, 2) + "/" + PadLeftKeepRight(v.installment_count, 2));
  both("lblVencimento", v.due_date_text);
  both("lblCedente", v.beneficiary.name);
  map.push_back({"lblCedente1", FieldForms::kEachDirectly, v.beneficiary.address});
  both("lblCNPJCedente", v.beneficiary.tax_id);
  both("lblDataDocumento", v.issue_date_text);
  both("lblNumDocumento", v.document_text);
  both("lblEspecie", v.species_code);
  both("lblAceite", "N");
  both("lblDataProcessamento", v.processing_date.Format("DD/MM/YYYY"));
  both("lblUsoBanco", "");
  both("lblCarteira", v.carteira);
  both("lblEspecie2", v.currency_code);
  both("lblQuantidade", v.amounts.quantity_caption);
  both("lblValor", v.amounts.value_caption);
  both("lblValorDocumento", v.amounts.amount_due_text);
  // The amount boxes stay blank: the amounts appear in the instruction lines.
  for (const char* box :
       {"lblDesconto", "lblOutAbatimento", "lblMultaJuros", "lblAcrescimos", "lblTotal"}) {
    both(box, "");
  }
  const auto& lines = v.amounts.instruction_lines;
  for (size_t i = 0; i < lines.size(); ++i) {
    // Lines 1-5 are copied from the stub; the two instruction texts are set
    // on each form.
    map.push_back({"lblIntrucao" + std::to_string(i + 1),
                   i < 5 ? FieldForms::kBoth : FieldForms::kEachDirectly, lines[i]});
  }
  both("lblSacado1", v.payer.Line1());
  both("lblSacado2", v.payer.Line2());
  both("lblSacado3", v.payer.Line3());

  const BankFields& bank = v.bank_fields;
  both("lblAgencia", bank.agency_text);
  both("lblNossoNumero", bank.reference_text);
  if (bank.portfolio_text) both("lblCarteira", *bank.portfolio_text);
  if (bank.acceptance_text) both("lblAceite", *bank.acceptance_text);
  if (bank.species_text) both("lblEspecie", *bank.species_text);

  map.push_back({"nr", FieldForms::kCompensationPart, v.printed_line});
  return map;
}

Status ApplyFieldMap(const std::vector<FieldAssignment>& map, LayoutForm& receipt_stub,
                     LayoutForm& compensation_part) {
  for (const FieldAssignment& a : map) {
    switch (a.forms) {
      case FieldForms::kBoth: {
        if (Status s = receipt_stub.SetCaption(a.control, a.caption); !s.ok()) return s;
        auto copied = receipt_stub.Caption(a.control);
        if (!copied.ok()) return copied.error();
        if (Status s = compensation_part.SetCaption(a.control, std::move(*copied)); !s.ok()) {
          return s;
        }
        break;
      }
      case FieldForms::kEachDirectly:
        if (Status s = receipt_stub.SetCaption(a.control, a.caption); !s.ok()) return s;
        if (Status s = compensation_part.SetCaption(a.control, a.caption); !s.ok()) return s;
        break;
      case FieldForms::kReceiptStub:
        if (Status s = receipt_stub.SetCaption(a.control, a.caption); !s.ok()) return s;
        break;
      case FieldForms::kCompensationPart:
        if (Status s = compensation_part.SetCaption(a.control, a.caption); !s.ok()) return s;
        break;
    }
  }
  return Status::Ok();
}

}  // namespace boleto
