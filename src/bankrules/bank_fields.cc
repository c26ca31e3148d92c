#include "bankrules/bank_fields.h"

#include <cstring>
#include <iterator>

#include "bankrules/check_digits.h"
#include "bankrules/digit_text.h"
#include "platform/amount_text.h"

namespace boleto {
namespace {

using bankrules::Mid;
using bankrules::Pad;
using bankrules::Trim;

// A check digit of a bank branch, kept as one character that *digit shows
// as a one-character text; its failure is named after the bank.
class BankDigit {
 public:
  BankDigit(std::string_view bank, std::string_view method, std::string_view digits)
      : bank_(bank), digit_(CheckDigitCharByMethod(method, digits)) {}
  bool ok() const { return digit_.ok(); }
  Error error() const {
    Error e = digit_.error();
    e.description = "Bank " + std::string(bank_) + ": " + e.description;
    return e;
  }
  std::string_view operator*() const { return std::string_view(&*digit_, 1); }

 private:
  std::string_view bank_;
  Result<char> digit_;
};

// The digit texts are whole numbers; the amount reader has always read them.
Result<Currency> WholeNumber(std::string_view digits) { return ParseAmount(digits, "."); }

// `out` becomes the parts one after the other.
void Assign(std::string& out, std::initializer_list<std::string_view> parts) {
  size_t size = 0;
  for (std::string_view p : parts) size += p.size();
  out.resize(size);
  char* at = out.data();
  for (std::string_view p : parts) {
    bankrules::CopyChars(p, at);
    at += p.size();
  }
}

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  Assign(out, parts);
  return out;
}

// Each branch below fills the one result it returns, failures included: a
// single returned object is built where the caller receives it, where
// returning different objects would move the fields once more.

// Banco 409: number and installment with a modulus-11 digit after the code.
Result<BankFields> Bank409(const BankInput& in) {
  Result<BankFields> out = BankFields{};
  BankFields& f = *out;
  const std::string n12 = Pad(in.doc_number, 12);
  const std::string p2 = Pad(in.installment_no, 2);
  const std::string r = n12 + p2;
  const BankDigit d("409", "N", r);
  if (!d.ok()) {
    out = d.error();
    return out;
  }
  Assign(f.free_field, {"5", in.identificacao_sr.digits7, "00", r, *d});
  Assign(f.agency_text, {in.agencia_cobranca, "/", in.conta_cobranca});
  Assign(f.reference_text, {n12, "/", p2, "-", *d});
  Assign(f.id_bancaria, {r, *d});
  return out;
}

// Bradesco: agency, portfolio, eleven-digit number, account, zero; the
// number's digit (possibly "P") is printed but not in the free field.
Result<BankFields> Bank237(const BankInput& in) {
  Result<BankFields> out = BankFields{};
  BankFields& f = *out;
  const std::string c2 = Pad(in.carteira_sr, 2);
  const std::string n9 = Pad(in.doc_number, 9);
  const std::string p2 = Pad(in.installment_no, 2);
  const BankDigit d("237", "N7", Join({c2, n9, p2}));
  if (!d.ok()) {
    out = d.error();
    return out;
  }
  const BankDigit agency_digit("237", "A", in.agency4);
  if (!agency_digit.ok()) {
    out = agency_digit.error();
    return out;
  }
  const BankDigit account_digit("237", "C", in.account7);
  if (!account_digit.ok()) {
    out = account_digit.error();
    return out;
  }
  Assign(f.free_field, {in.agency4, c2, n9, p2, in.account7, "0"});
  Assign(f.agency_text, {in.agency4, "-", *agency_digit, "/", in.account7, "-", *account_digit});
  Assign(f.reference_text, {c2, "/", n9, p2, "-", *d});
  Assign(f.id_bancaria, {c2, n9, p2, *d});
  return out;
}

// Banco do Brasil: a seven-digit agreement (1.000.000 and above) puts it in the
// seventeen-digit number with the portfolio last; a shorter one leads the
// field, followed by the number and service "21".
Result<BankFields> Bank001(const BankInput& in) {
  Result<BankFields> out = BankFields{};
  BankFields& f = *out;
  const std::string_view agreement = Trim(in.identificacao_sr.digits7);
  Result<Currency> value = WholeNumber(agreement);
  if (!value.ok()) {
    out = value.error();
    return out;
  }
  const std::string c10 = Pad(in.doc_number, 8) + Pad(in.installment_no, 2);
  constexpr int64_t kSevenDigitAgreements = 1000000;
  // Every seven-digit agreement, 1.000.000 included: "above 1.000.000" would
  // give agreement 1000000 the six-digit layout and lose its leading digit.
  if (*value >= Currency::FromUnits(kSevenDigitAgreements)) {
    Assign(f.free_field, {"000000", in.identificacao_sr.digits7, c10, Pad(in.carteira_sr, 2)});
    f.reference_text = in.identificacao_sr.digits7 + c10;
  } else {
    const std::string n17 = Pad(c10, 17);
    Assign(f.free_field, {Pad(agreement, 6), n17, "21"});
    f.reference_text = n17;
  }
  f.id_bancaria = f.reference_text;
  Assign(f.agency_text, {in.agencia_cobranca, "/", in.conta_cobranca});
  return out;
}

// Santander: "9", beneficiary code, number with its digit, IOF "0" and the
// portfolio "101" or "102".
Result<BankFields> Bank033(const BankInput& in) {
  Result<BankFields> out = BankFields{};
  BankFields& f = *out;
  if (in.carteira_ext != "101" && in.carteira_ext != "102") return out;
  const std::string r = Pad(in.doc_number, 10) + Pad(in.installment_no, 2);
  const BankDigit d("033", "N10", r);
  if (!d.ok()) {
    out = d.error();
    return out;
  }
  const std::string code = Pad(Trim(in.identificacao_sr.digits7), 7);
  std::string_view agency = in.agencia_cobranca;
  while (!agency.empty() && agency.back() == ' ') agency.remove_suffix(1);
  Assign(f.free_field, {"9", code, r, *d, "0", in.carteira_ext});
  Assign(f.agency_text, {agency, "/", code});
  Assign(f.reference_text, {r, " ", *d});
  f.portfolio_text = in.carteira_ext == "101" ? "ECR" : "CSR";
  Assign(f.id_bancaria, {r, *d});
  return out;
}

// Banco Real: agency, account, the "dígitão" over number, agency and
// account, then the thirteen-digit number.
Result<BankFields> Bank356(const BankInput& in) {
  Result<BankFields> out = BankFields{};
  BankFields& f = *out;
  const std::string r = Pad(in.doc_number, 11) + Pad(in.installment_no, 2);
  const std::string d = NumericModulo10CheckDigit(Join({r, in.agency4, in.account7}));
  Assign(f.free_field, {in.agency4, in.account7, d, r});
  Assign(f.agency_text, {in.agencia_cobranca, "/", in.account7, "/", d});
  f.reference_text = r;
  f.id_bancaria = r.substr(r.size() - 7);
  return out;
}

// Itaú: portfolio, number, DAC, agency, account, account digit, "000".
Result<BankFields> Bank341(const BankInput& in) {
  Result<BankFields> out = BankFields{};
  BankFields& f = *out;
  const std::string n8 = Pad(in.doc_number, 6) + Pad(in.installment_no, 2);
  const std::string c3 = Pad(in.carteira_ext, 3);
  const std::string_view a5 = Mid(in.account7, 3, 5);
  const std::string dac = Modulo10CheckDigit("P5", Join({in.agency4, a5, c3, n8}));
  Assign(f.free_field, {c3, n8, dac, in.agency4, a5, in.account_digit, "000"});
  Assign(f.reference_text, {c3, "/", n8, "-", dac});
  Assign(f.agency_text, {in.agency4, "/", a5, "-", in.account_digit});
  f.portfolio_text = in.carteira_ext;
  f.id_bancaria = n8;
  return out;
}

// The parts one after the other, zero-padded on the left and cut to their
// rightmost N characters (Pad of their Join), in a buffer of its own.
template <size_t N>
struct PaddedText {
  char text[N];
  std::string_view view() const { return std::string_view(text, N); }
};

template <size_t N>
PaddedText<N> PadJoin(std::initializer_list<std::string_view> parts) {
  PaddedText<N> out;
  size_t free = N;  // characters still to fill, from the right
  for (auto part = std::rbegin(parts); part != std::rend(parts) && free > 0; ++part) {
    const size_t kept = part->size() < free ? part->size() : free;
    free -= kept;
    std::memcpy(out.text + free, part->data() + (part->size() - kept), kept);
  }
  std::memset(out.text, '0', free);
  return out;
}

// Digit texts up to this length read as their whole number without the
// amount reader's other rules (its own first case); three of them add up
// well within a Currency.
constexpr size_t kPlainDigits = 14;

// Adds to `units` the whole number a plain digit text reads as; false, with
// `units` unchanged, for any other text.
bool AddPlainDigits(std::string_view text, int64_t& units) {
  if (text.empty() || text.size() > kPlainDigits || !bankrules::AllDigits(text)) return false;
  int64_t value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  units += value;
  return true;
}

// The HSBC digit sum of number, code and due date as the amount reader reads
// each of them, written as the rightmost 13 digits of its whole units.
Result<PaddedText<13>> Hsbc399DigitSum(std::initializer_list<std::string_view> parts) {
  int64_t units = 0;
  bool plain = true;
  for (std::string_view part : parts) plain = plain && AddPlainDigits(part, units);
  if (plain) {
    PaddedText<13> out;
    for (size_t i = 13; i-- > 0; units /= 10) out.text[i] = static_cast<char>('0' + units % 10);
    return out;
  }
  Currency sum;
  for (std::string_view part : parts) {
    Result<Currency> v = WholeNumber(part);
    if (!v.ok()) return v.error();
    const std::optional<Currency> total = CheckedAdd(sum, *v);
    if (!total) return MakeError(error_number::kOverflow, "Bank 399: overflow in the digit sum");
    sum = *total;
  }
  return PadJoin<13>({std::to_string(sum.raw() / Currency::kScale)});
}

// HSBC "CNR": beneficiary code, thirteen-digit number, Julian due date and
// product "2"; the printed number carries two digits, the second one over
// number, code and due date added up.
Result<BankFields> Bank399Cnr(const BankInput& in) {
  Result<BankFields> out = BankFields{};
  BankFields& f = *out;
  const PaddedText<2> p2 = PadJoin<2>({in.installment_no});
  const PaddedText<13> b13 = PadJoin<13>({in.doc_number, p2.view()});
  const std::optional<std::chrono::sys_days> due = bankrules::DueDateDays(in.due_date_digits);
  if (!due) {
    out = MakeError(error_number::kTypeMismatch,
                    "Bank 399: \"" + in.due_date_digits + "\" is not a due date");
    return out;
  }
  // Julian date: day of the year and the year's last digit.
  const std::chrono::year year = std::chrono::year_month_day(*due).year();
  const int day_of_year =
      static_cast<int>((*due - std::chrono::sys_days(year / 1 / 1)).count()) + 1;
  const char julian[] = {static_cast<char>('0' + day_of_year / 100),
                         static_cast<char>('0' + day_of_year / 10 % 10),
                         static_cast<char>('0' + day_of_year % 10),
                         static_cast<char>('0' + static_cast<int>(year) % 10)};
  const BankDigit d1("399", "N9", b13.view());
  if (!d1.ok()) {
    out = d1.error();
    return out;
  }
  const std::string numbered = Join({in.doc_number, p2.view(), *d1, "4"});  // "4": due-date kind
  const Result<PaddedText<13>> sum =
      Hsbc399DigitSum({numbered, in.identificacao_sr.digits7, in.due_date_short});
  if (!sum.ok()) {
    out = sum.error();
    return out;
  }
  const BankDigit d2("399", "N9", sum->view());
  if (!d2.ok()) {
    out = d2.error();
    return out;
  }
  const PaddedText<13> reference = PadJoin<13>({numbered, *d2});
  Assign(f.free_field, {in.identificacao_sr.digits7, b13.view(), std::string_view(julian, 4), "2"});
  f.reference_text.assign(reference.view());
  Assign(f.id_bancaria, {reference.view(), Mid(in.doc_number, 2, 7)});
  f.agency_text = in.identificacao_sr.digits7;
  f.portfolio_text = in.carteira_ext;
  f.species_text.emplace();
  return out;
}

// HSBC "CSB": eleven-digit number (range, number, digit), agency, account,
// "00" and product "1".
Result<BankFields> Bank399Csb(const BankInput& in) {
  Result<BankFields> out = BankFields{};
  BankFields& f = *out;
  const std::string& code5 = in.identificacao_sr.digits5;
  const PaddedText<2> p2 = PadJoin<2>({in.installment_no});
  const PaddedText<5> n5 = PadJoin<5>({in.doc_number, p2.view()});
  const BankDigit d("399", "N8", Join({code5, n5.view()}));
  if (!d.ok()) {
    out = d.error();
    return out;
  }
  Assign(f.free_field, {code5, n5.view(), *d, in.agency4, in.account7, "00", "1"});
  Assign(f.reference_text, {Mid(code5, 1, 2), " ", Mid(code5, 3, 3), " ",
                            PadJoin<3>({in.doc_number}).view(), " ", p2.view(), " ", *d});
  Assign(f.id_bancaria, {code5, n5.view(), *d});
  Assign(f.agency_text, {in.agency4, " ", in.account7});
  f.portfolio_text = in.carteira_ext;
  f.species_text.emplace();
  return out;
}

// Caixa with a six-digit beneficiary code: code and digit, the fifteen-digit
// number in three pieces with the kind ("1" registered by remittance, "2"
// not) and issuer "4" between them, then the field's own digit.
Result<BankFields> Bank104Code6(const BankInput& in) {
  Result<BankFields> out = BankFields{};
  BankFields& f = *out;
  const std::string& code6 = in.identificacao_sr.digits6;
  const std::string r15 = Pad(in.doc_number + Pad(in.installment_no, 2), 15);
  const BankDigit dc("104", "N4", code6);
  if (!dc.ok()) {
    out = dc.error();
    return out;
  }
  const std::string_view kind = in.gera_remessa_bol_sr == "S" ? "1" : "2";
  const std::string f24 =
      Join({code6, *dc, r15.substr(0, 3), kind, r15.substr(3, 3), "4", r15.substr(6, 9)});
  const BankDigit field_digit("104", "N5", f24);
  if (!field_digit.ok()) {
    out = field_digit.error();
    return out;
  }
  const BankDigit dn("104", "N6", in.carteira_sr + r15);
  if (!dn.ok()) {
    out = dn.error();
    return out;
  }
  Assign(f.free_field, {f24, *field_digit});
  Assign(f.reference_text, {in.carteira_sr, r15, "-", *dn});
  f.id_bancaria = in.carteira_sr + r15;
  Assign(f.agency_text, {in.agency4, "/", code6, "-", *dc});
  f.portfolio_text = in.carteira_ext;
  return out;
}

// Caixa with a sixteen-character code (agency 4, operation 3, code 8,
// digit 1): the ten-digit number ("9" registered, "82" not) and the code.
Result<BankFields> Bank104Code16(const BankInput& in, std::string_view code) {
  Result<BankFields> out = BankFields{};
  BankFields& f = *out;
  const std::string number = in.doc_number + Pad(in.installment_no, 2);
  const bool registered = in.gera_remessa_bol_sr == "S";
  const std::string r10 = registered ? "9" + Pad(number, 9) : "82" + Pad(number, 8);
  const BankDigit d("104", "N3", r10);
  if (!d.ok()) {
    out = d.error();
    return out;
  }
  Assign(f.free_field, {r10, code.substr(0, 15)});
  f.agency_text = Join(
      {code.substr(0, 4), ".", code.substr(4, 3), ".", code.substr(7, 8), ".", code.substr(15, 1)});
  Assign(f.reference_text, {r10, ".", *d});
  Assign(f.id_bancaria, {r10, *d});
  f.portfolio_text = registered ? "CR" : "SR";
  return out;
}

// Sicoob: portfolio, cooperative, modality, client code, number with its
// digit, installment.
Result<BankFields> Bank756(const BankInput& in) {
  Result<BankFields> out = BankFields{};
  BankFields& f = *out;
  const std::string n7 = Pad(in.doc_number, 7);
  const std::string& code9 = in.identificacao_sr.digits9;
  const std::string d = PaddedModulo11CheckDigit("CB", Join({in.agency4, Pad(code9, 10), n7}));
  const std::string p3 = Pad(in.installment_no, 3);
  const std::string_view client = Mid(code9, 3, 7);
  const std::string_view ext = in.carteira_ext;
  Assign(f.free_field, {Mid(ext, 1, 1), in.agency4, Mid(ext, 2, 2), client, n7, d, p3});
  f.portfolio_text = std::string(Mid(ext, 1, 1));
  f.acceptance_text = "N";
  Assign(f.agency_text, {in.agency4, "/ ", client});
  f.reference_text = n7 + d;
  const std::string e = PaddedModulo11CheckDigit("ED", Join({n7, d, p3}));
  Assign(f.id_bancaria, {n7, d, p3, e});
  return out;
}

// Banestes: the 23-digit key (number, account, kind, bank) and its two
// digits; the stored reference carries the number's own two digits.
Result<BankFields> Bank021(const BankInput& in) {
  Result<BankFields> out = BankFields{};
  BankFields& f = *out;
  const std::string n8 = Pad(in.doc_number, 6) + Pad(in.installment_no, 2);
  const std::string_view ext = in.carteira_ext;
  const std::string k23 =
      Join({n8, Pad(Trim(in.identificacao_sr.digits11), 11), Mid(ext, 1, 1), "021"});
  const std::string k1 = PaddedKeyCheckDigit("CB", k23);
  // The key and its first digit. Without a portfolio character the key has
  // 22 characters and the second digit's method refuses the 23 that follow.
  char key[24];
  bankrules::CopyChars(k23, key);
  key[k23.size()] = k1[0];
  const BankDigit k2("021", "N2", std::string_view(key, k23.size() + 1));
  if (!k2.ok()) {
    out = k2.error();
    return out;
  }
  const std::string e1 = PaddedKeyCheckDigit("ED1", n8);
  const std::string e2 = PaddedKeyCheckDigit("ED2", n8 + e1);
  Assign(f.free_field, {k23, k1, *k2});
  f.portfolio_text = std::string(Mid(ext, 1, 1));
  Assign(f.agency_text, {in.agency4, "/", in.identificacao_sr.digits11});
  f.reference_text = n8;
  Assign(f.id_bancaria, {n8, e1, e2});
  return out;
}

}  // namespace

BeneficiaryCodeForms MakeBeneficiaryCodeForms(std::string_view stored) {
  const std::string_view t = Trim(stored);
  return BeneficiaryCodeForms{std::string(stored),    Pad(t.substr(0, 5), 5),
                              Pad(t.substr(0, 6), 6), Pad(t.substr(0, 7), 7),
                              Pad(t.substr(0, 9), 9), Pad(t.substr(0, 11), 11)};
}

namespace {
// The trimmed text before its first "-".
std::string_view BeforeDash(std::string_view stored) {
  const std::string_view t = Trim(stored);
  return t.substr(0, t.find('-'));
}
}  // namespace

std::string Agency4(std::string_view agencia_cobranca) {
  return Pad(BeforeDash(agencia_cobranca), 4);
}

std::string Account7(std::string_view conta_cobranca) { return Pad(BeforeDash(conta_cobranca), 7); }

std::string AccountDigit(std::string_view conta_cobranca) {
  const std::string_view t = Trim(conta_cobranca);
  const size_t dash = t.find('-');
  if (dash == std::string_view::npos) return "";
  return Pad(t.substr(dash + 1, 1), 1);
}

Result<BankFields> ComposeBankFields(const BankInput& in) {
  const std::string_view bank = in.bank_code;
  if (bank == "409") return Bank409(in);
  if (bank == "237") return Bank237(in);
  if (bank == "001") return Bank001(in);
  if (bank == "033") return Bank033(in);
  if (bank == "356") return Bank356(in);
  if (bank == "341") return Bank341(in);
  if (bank == "399") {
    if (in.carteira_ext == "CNR") return Bank399Cnr(in);
    if (in.carteira_ext == "CSB") return Bank399Csb(in);
    return BankFields{};
  }
  if (bank == "104") {
    const std::string_view code = Trim(in.identificacao_sr.stored);
    if (code.size() == 6) return Bank104Code6(in);
    if (code.size() == 16) return Bank104Code16(in, code);
    return BankFields{};
  }
  if (bank == "756") return Bank756(in);
  if (bank == "021") return Bank021(in);
  return BankFields{};
}

}  // namespace boleto
