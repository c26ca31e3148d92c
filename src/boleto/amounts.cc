#include "boleto/amounts.h"

#include "platform/text.h"

namespace boleto {
namespace {

Error OverflowError(std::string_view what) {
  return MakeError(error_number::kOverflow, "Overflow computing " + std::string(what));
}

// Running sum that remembers the first overflow instead of wrapping.
class Sum {
 public:
  explicit Sum(Currency start) : value_(start) {}
  void Add(Currency c) {
    if (auto r = CheckedAdd(value_, c))
      value_ = *r;
    else
      overflow_ = true;
  }
  void Sub(Currency c) {
    if (auto r = CheckedSub(value_, c))
      value_ = *r;
    else
      overflow_ = true;
  }
  bool overflow() const { return overflow_; }
  Currency value() const { return value_; }

 private:
  Currency value_;
  bool overflow_ = false;
};

// value + cy(percent × base / 100); nothing on overflow.
std::optional<Currency> ValuePlusPercent(Currency value, Currency percent, Currency base) {
  const std::optional<Currency> share = PercentOf(percent, base);
  if (!share) return std::nullopt;
  return CheckedAdd(value, *share);
}

}  // namespace

Result<BoletoAmounts> ComputeBoletoAmounts(const InstallmentAmounts& in, const BankSettings& bank,
                                           std::string_view moeda_padrao) {
  BoletoAmounts out;

  // Base: gross value less taxes and other deductions, plus other additions
  // and the bank's collection fee.
  Sum base(in.resultado);
  base.Sub(in.impostos);
  base.Sub(in.valor_outro_d);
  base.Add(in.valor_outro_c);
  base.Add(bank.val_desp_cob);
  if (base.overflow()) return OverflowError("the base amount");
  out.base_amount = base.value();
  out.value_text = FormatMoney(in.resultado);
  out.amount_due = out.base_amount;

  // Anticipation: the discount holds only until a limit date, counted from
  // the issue date ("E") or back from the due date (any other setting).
  const bool anticipation = bank.alt_data_ante_bol == "S" && bank.antecipa_bol > 0;

  const bool discount_rule = (!in.valor_desconto.is_zero() || !in.percentual_desconto.is_zero()) &&
                             bank.desconto_bol == "S";
  if (discount_rule) {
    const auto discount =
        ValuePlusPercent(in.valor_desconto, in.percentual_desconto, out.base_amount);
    if (!discount) return OverflowError("the discount");
    out.discount_amount = *discount;
    bool deducted = true;
    if (anticipation) {
      const Date limit = bank.data_ante_bol == "E" ? in.emissao.AddDays(bank.antecipa_bol)
                                                   : in.vencimento.AddDays(-bank.antecipa_bol);
      out.discount_limit_date = limit;
      // A discount that ends before the due date is announced, not deducted.
      deducted = !(limit < in.vencimento);
    }
    if (deducted) {
      const auto due = CheckedSub(out.base_amount, out.discount_amount);
      if (!due) return OverflowError("the amount due");
      out.amount_due = *due;
    }
  }
  // Whole cents, once: the page shows the amount rounded by the money mask
  // and the barcode encodes cents, so both take this one amount.
  const std::optional<Currency> due_in_cents = RoundedToCents(out.amount_due);
  if (!due_in_cents) return OverflowError("the amount due");
  out.amount_due = *due_in_cents;
  out.amount_due_text = FormatMoney(out.amount_due);

  if (!in.percentual_juros.is_zero() && bank.juros_bol == "S") {
    const auto interest = PercentOf(in.percentual_juros, out.base_amount);
    if (!interest) return OverflowError("the daily interest");
    out.daily_interest_amount = *interest;
  }

  if ((!in.valor_multa.is_zero() || !in.percentual_multa.is_zero()) && bank.multa_bol == "S") {
    const auto fine = ValuePlusPercent(in.valor_multa, in.percentual_multa, out.base_amount);
    if (!fine) return OverflowError("the fine");
    out.fine_amount = *fine;
  }

  // Value box: these four banks leave value and quantity blank for a
  // document in the company's own currency.
  const std::string_view banco = bank.banco_cobranca;
  const bool blank_box_bank = banco == "001" || banco == "399" || banco == "237" || banco == "104";
  if (blank_box_bank && TrimBlanks(in.moeda) == TrimBlanks(moeda_padrao)) {
    out.quantity_caption = " ";
    out.value_caption = " ";
  } else {
    out.quantity_caption = "1";
    out.value_caption = out.value_text;
  }

  // Instruction lines: line 1 always, then the lines that apply fill lines
  // 2 to 5 in this order without gaps; lines 6 and 7 are the account's two
  // instruction texts.
  const std::string cur(TrimRightBlanks(in.moeda));
  auto money = [&cur](Currency c) { return cur + " " + FormatMoney(c); };
  auto& lines = out.instruction_lines;
  lines[0] = "Valor Principal de " + cur + " " + std::string(TrimBlanks(out.value_text));
  if (in.impostos > Currency()) lines[0] += " Imp.Ret.na Fonte de " + money(in.impostos);
  size_t n = 1;  // lines[n] is the next free line

  const bool deductions = !in.valor_outro_d.is_zero();
  const bool additions = !in.valor_outro_c.is_zero();
  if (deductions && additions) {
    lines[n++] = "Out.Abatimentos de " + money(in.valor_outro_d) + " Out.Acrescimos de " +
                 money(in.valor_outro_c);
  } else if (deductions) {
    lines[n++] = "Out.Abatimentos de " + money(in.valor_outro_d);
  } else if (additions) {
    lines[n++] = "Out.Acrescimos de " + money(in.valor_outro_c);
  }

  if (!out.discount_amount.is_zero() && bank.desconto_bol == "S") {
    if (anticipation && out.discount_limit_date) {
      lines[n++] = "Desconto até " + out.discount_limit_date->Format("DD/MM/YYYY") + " de " +
                   money(out.discount_amount);
    } else {
      lines[n++] = "Desconto até o vencimento de " + money(out.discount_amount);
    }
  }

  if (!out.daily_interest_amount.is_zero() && bank.juros_bol == "S") {
    lines[n++] = "Após vencimento juros diários de " + money(out.daily_interest_amount);
  }

  const bool fee = !bank.val_desp_cob.is_zero() && bank.desp_banc_bol == "S";
  if (!out.fine_amount.is_zero() && bank.multa_bol == "S") {
    lines[n] = "Após vencimento multa de " + money(out.fine_amount);
    if (fee) lines[n] += " Taxa Bancária de " + money(bank.val_desp_cob);
    ++n;
  } else if (fee) {
    lines[n++] = "Taxa Bancária de " + money(bank.val_desp_cob);
  }

  lines[5] = bank.instrucao1_text;
  lines[6] = bank.instrucao2_text;
  return out;
}

}  // namespace boleto
