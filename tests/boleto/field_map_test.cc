#include "boleto/field_map.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

namespace boleto {
namespace {

BoletoFieldValues Values() {
  BoletoFieldValues v;
  v.banco_cobranca = "237";
  v.bank_name = "BANCO BRADESCO S.A.";
  v.installment_no = "2";
  v.installment_count = "3";
  v.due_date_text = "15/08/2026";
  v.issue_date_text = "01/07/2026";
  v.document_text = "NF 1 4567";
  v.species_code = "DM";
  v.processing_date = *Date::FromYmd(2026, 7, 20);
  v.carteira = "09";
  v.currency_code = "R$";
  v.beneficiary = {"ACME LTDA", "11.222.333/0001-81", "RUA A CENTRO SAO PAULO SP"};
  v.payer.name = "CLIENTE";
  v.payer.tax_id = "12.345.678/0001-95";
  v.payer.street = "AV B";
  v.payer.number_text = "10";
  v.payer.complement = "SALA 2";
  v.payer.district = "BAIRRO";
  v.payer.city = "CIDADE";
  v.payer.state = "SP";
  v.payer.postal_code_text = "01234-567";
  v.amounts.quantity_caption = " ";
  v.amounts.value_caption = " ";
  v.amounts.amount_due_text = "1.234,56";
  v.amounts.instruction_lines = {"l1", "l2", "l3", "l4", "l5", "texto 1", "texto 2"};
  v.bank_fields.agency_text = "1234-0/0012345-6";
  v.bank_fields.reference_text = "09/00000456702-P";
  v.printed_line = "23790.12345 60000.000000 00000.000000 1 12340000123456";
  return v;
}

struct Forms {
  LayoutForm rec{ReceiptStubTemplate()};
  LayoutForm bol{CompensationPartTemplate()};
};

Forms Filled(const BoletoFieldValues& v) {
  Forms f;
  auto map = BoletoFieldMap(v);
  EXPECT_TRUE(map.ok()) << map.error().description;
  if (map.ok()) {
    Status s = ApplyFieldMap(*map, f.rec, f.bol);
    EXPECT_TRUE(s.ok()) << s.error().description;
  }
  return f;
}

std::string Cap(const LayoutForm& form, std::string_view label) {
  auto c = form.Caption(label);
  return c.ok() ? *c : "<" + c.error().description + ">";
}

// Expected captions on both forms; where each value comes from in the row.
struct Expected {
  const char* label;
  std::string caption;
};

TEST(FieldMap, EveryLabelOfBothForms) {
  const Forms f = Filled(Values());
  const Expected both[] = {
      {"lblCodigoBanco", "| 237-2 |"},  // method "B" on 237 gives 2
      {"lblLocalPagamento",
       "Pagável em qualquer banco. Após vencimento, pagável somente no BANCO BRADESCO S.A."},
      {"lblParcela", "02/03"},  // second of three installments
      {"lblVencimento", "15/08/2026"},
      {"lblCedente", "ACME LTDA"},
      {"lblCedente1", "RUA A CENTRO SAO PAULO SP"},
      {"lblCNPJCedente", "11.222.333/0001-81"},
      {"lblDataDocumento", "01/07/2026"},
      {"lblNumDocumento", "NF 1 4567"},
      {"lblEspecie", "DM"},
      {"lblAceite", "N"},
      {"lblDataProcessamento", "20/07/2026"},
      {"lblUsoBanco", ""},
      {"lblCarteira", "09"},  // the bank gives no portfolio text: Carteira stays
      {"lblEspecie2", "R$"},
      {"lblQuantidade", " "},
      {"lblValor", " "},
      {"lblValorDocumento", "1.234,56"},
      {"lblDesconto", ""},
      {"lblOutAbatimento", ""},
      {"lblMultaJuros", ""},
      {"lblAcrescimos", ""},
      {"lblTotal", ""},
      {"lblIntrucao1", "l1"},
      {"lblIntrucao5", "l5"},
      {"lblIntrucao6", "texto 1"},
      {"lblIntrucao7", "texto 2"},
      {"lblSacado1", "CLIENTE - 12.345.678/0001-95"},
      {"lblSacado2", "AV B,10/SALA 2"},
      {"lblSacado3", "BAIRRO-CIDADE-SP CEP:01234-567"},
      {"lblAgencia", "1234-0/0012345-6"},
      {"lblNossoNumero", "09/00000456702-P"},
  };
  for (const Expected& e : both) {
    EXPECT_EQ(Cap(f.rec, e.label), e.caption) << "receipt stub " << e.label;
    EXPECT_EQ(Cap(f.bol, e.label), e.caption) << "compensation part " << e.label;
  }
  EXPECT_EQ(Cap(f.bol, "nr"), "23790.12345 60000.000000 00000.000000 1 12340000123456");
  EXPECT_FALSE(f.rec.Caption("nr").ok()) << "the receipt stub has no digitable line";
}

// The filling order and the forms of each assignment: set on the receipt
// stub and copied ("both"), set on each form from the same value ("each"),
// or on the compensation part only; the bank's own captions come after the
// payer lines, the digitable line last.
TEST(FieldMap, OrderAndFormsOfEveryAssignment) {
  BoletoFieldValues v = Values();
  v.bank_fields.portfolio_text = "CNR";
  v.bank_fields.acceptance_text = "N";
  v.bank_fields.species_text = "";
  const auto map = BoletoFieldMap(v);
  ASSERT_TRUE(map.ok()) << map.error().description;
  constexpr FieldForms B = FieldForms::kBoth;
  constexpr FieldForms E = FieldForms::kEachDirectly;
  const std::vector<std::pair<std::string, FieldForms>> expected = {
      {"lblCodigoBanco", B}, {"lblLocalPagamento", B}, {"lblParcela", B},
      {"lblVencimento", B},  {"lblCedente", B},        {"lblCedente1", E},
      {"lblCNPJCedente", B}, {"lblDataDocumento", B},  {"lblNumDocumento", B},
      {"lblEspecie", B},     {"lblAceite", B},         {"lblDataProcessamento", B},
      {"lblUsoBanco", B},    {"lblCarteira", B},       {"lblEspecie2", B},
      {"lblQuantidade", B},  {"lblValor", B},          {"lblValorDocumento", B},
      {"lblDesconto", B},    {"lblOutAbatimento", B},  {"lblMultaJuros", B},
      {"lblAcrescimos", B},  {"lblTotal", B},          {"lblIntrucao1", B},
      {"lblIntrucao2", B},   {"lblIntrucao3", B},      {"lblIntrucao4", B},
      {"lblIntrucao5", B},   {"lblIntrucao6", E},      {"lblIntrucao7", E},
      {"lblSacado1", B},     {"lblSacado2", B},        {"lblSacado3", B},
      {"lblAgencia", B},     {"lblNossoNumero", B},    {"lblCarteira", B},
      {"lblAceite", B},      {"lblEspecie", B},        {"nr", FieldForms::kCompensationPart},
  };
  std::vector<std::pair<std::string, FieldForms>> got;
  for (const FieldAssignment& a : *map) got.emplace_back(a.control, a.forms);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(got[i].first, expected[i].first) << "assignment " << i + 1;
    EXPECT_EQ(got[i].second, expected[i].second) << expected[i].first;
  }
}

TEST(FieldMap, NoValueLabelKeepsItsPlaceholder) {
  // Value labels are the "lbl" labels that are not fixed titles ("lblT...",
  // and "lblAutentica" of the compensation part).
  const Forms f = Filled(Values());
  for (const LayoutForm* form : {&f.rec, &f.bol}) {
    const FormTemplate& tpl = form == &f.rec ? ReceiptStubTemplate() : CompensationPartTemplate();
    int value_labels = 0;
    for (const ControlTemplate& c : tpl.controls) {
      if (c.kind != ControlKind::kLabel) continue;
      const std::string_view name = c.name;
      const bool title = name.rfind("lblT", 0) == 0 && name.size() > 4 && std::isupper(name[4]);
      if (title || name == "lblAutentica") continue;
      ++value_labels;
      EXPECT_NE(Cap(*form, name), std::string(c.caption)) << form->name() << " " << name;
    }
    // 35 value labels on both forms, plus the digitable line on the compensation part.
    EXPECT_EQ(value_labels, form == &f.rec ? 35 : 36) << form->name();
  }
}

TEST(FieldMap, BankCaptionsOverrideSpeciesAcceptanceAndPortfolio) {
  BoletoFieldValues v = Values();
  v.bank_fields.portfolio_text = "CNR";
  v.bank_fields.acceptance_text = "S";
  v.bank_fields.species_text = "";
  const Forms f = Filled(v);
  for (const LayoutForm* form : {&f.rec, &f.bol}) {
    EXPECT_EQ(Cap(*form, "lblCarteira"), "CNR");
    EXPECT_EQ(Cap(*form, "lblAceite"), "S");
    EXPECT_EQ(Cap(*form, "lblEspecie"), "");
  }
}

TEST(FieldMap, InstallmentBoxKeepsTheLastTwoDigits) {
  struct Case {
    std::string no, count, caption;
  } cases[] = {{"1", "1", "01/01"}, {"12", "105", "12/05"}, {"", "", "00/00"}};
  for (const Case& c : cases) {
    BoletoFieldValues v = Values();
    v.installment_no = c.no;
    v.installment_count = c.count;
    EXPECT_EQ(Cap(Filled(v).bol, "lblParcela"), c.caption);
  }
}

TEST(FieldMap, BankCodeCaptions) {
  // Method "B" digits: 001 -> 9, 341 -> 7, 104 -> 0.
  EXPECT_EQ(*BankCodeCaption("001"), "| 001-9 |");
  EXPECT_EQ(*BankCodeCaption("341"), "| 341-7 |");
  EXPECT_EQ(*BankCodeCaption("104"), "| 104-0 |");
  EXPECT_FALSE(BankCodeCaption("12").ok());
  BoletoFieldValues v = Values();
  v.banco_cobranca = "2X7";
  EXPECT_FALSE(BoletoFieldMap(v).ok());
}

}  // namespace
}  // namespace boleto
