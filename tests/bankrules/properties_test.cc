// Thousands of random boletos per bank (fixed seed): the printed line keeps
// its shape, the drawing side gets the barcode back, and every check digit
// verifies by a computation written here apart from the bank rules.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "bankrules/bank_fields.h"
#include "bankrules/barcode.h"
#include "bankrules/due_date_factor.h"
#include "platform/date.h"

namespace boleto {
namespace {

constexpr int kBoletosPerBank = 3000;

std::string Zeros(std::string s, size_t width) {
  return s.size() >= width ? s.substr(s.size() - width) : std::string(width - s.size(), '0') + s;
}

// S mod 11 with weights 2, 3, ... top from the rightmost digit.
int Mod11FromRight(const std::string& digits, int top) {
  int sum = 0;
  for (size_t i = 0; i < digits.size(); ++i) {
    sum += (digits[digits.size() - 1 - i] - '0') * (2 + static_cast<int>(i % (top - 1)));
  }
  return sum % 11;
}

// S mod 11 with weights 9, 8, ... 2 from the rightmost digit (HSBC CNR).
int Mod11Descending(const std::string& digits) {
  int sum = 0;
  for (size_t i = 0; i < digits.size(); ++i) {
    sum += (digits[digits.size() - 1 - i] - '0') * (9 - static_cast<int>(i % 8));
  }
  return sum % 11;
}

char ElevenMinus(int r) { return r <= 1 ? '0' : static_cast<char>('0' + 11 - r); }

// A number followed by its modulus-10 digit passes the Luhn test.
bool LuhnValid(const std::string& digits_with_check) {
  int sum = 0;
  for (size_t i = 0; i < digits_with_check.size(); ++i) {
    int d = digits_with_check[digits_with_check.size() - 1 - i] - '0';
    if (i % 2 == 1) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
    sum += d;
  }
  return sum % 10 == 0;
}

class Generator {
 public:
  explicit Generator(uint32_t seed) : random_(seed) {}

  std::string Digits(int min_length, int max_length) {
    std::string s;
    for (int n = Between(min_length, max_length); n > 0; --n)
      s += static_cast<char>('0' + Between(0, 9));
    return s;
  }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  template <size_t N>
  const char* OneOf(const char* const (&choices)[N]) {
    return choices[Between(0, N - 1)];
  }

 private:
  std::mt19937 random_;
};

struct Case {
  BankInput in;
  int64_t cents;
};

Case RandomCase(Generator& g, const std::string& bank) {
  Case c;
  BankInput& in = c.in;
  in.bank_code = bank;
  in.doc_number = g.Digits(1, 8);
  in.installment_no = g.Digits(1, 2);
  in.agencia_cobranca = g.Digits(1, 4) + (g.Between(0, 1) ? "-" + g.Digits(1, 1) : "");
  in.conta_cobranca =
      g.Digits(1, 7) + (bank == "341" || g.Between(0, 1) ? "-" + g.Digits(1, 1) : "");
  in.agency4 = Agency4(in.agencia_cobranca);
  in.account7 = Account7(in.conta_cobranca);
  in.account_digit = AccountDigit(in.conta_cobranca);
  std::string code = g.Digits(1, 11);
  if (bank == "001") code = g.Between(0, 1) ? g.Digits(7, 7) : g.Digits(1, 6);
  if (bank == "104") code = g.Between(0, 1) ? g.Digits(6, 6) : g.Digits(16, 16);
  in.identificacao_sr = MakeBeneficiaryCodeForms(code);
  in.carteira_sr = g.Digits(2, 2);
  static const char* const kExt033[] = {"101", "102"};
  static const char* const kExt399[] = {"CNR", "CSB"};
  in.carteira_ext = bank == "033"   ? g.OneOf(kExt033)
                    : bank == "399" ? g.OneOf(kExt399)
                    : bank == "021" ? g.Digits(1, 1)
                                    : g.Digits(3, 3);
  in.gera_remessa_bol_sr = g.Between(0, 1) ? "S" : "N";
  const Date due = Date::FromYmd(2000, 1, 1)->AddDays(g.Between(0, 18000));
  in.due_date_digits = due.Format("DDMMYYYY");
  in.due_date_short = due.Format("DDMMYY");
  c.cents = static_cast<int64_t>(g.Between(0, 99999)) * 100000 + g.Between(0, 99999);
  return c;
}

// The bank's own digits, recomputed from the pieces of the free field and
// the stored reference.
void ExpectBankDigits(const BankInput& in, const BankFields& f) {
  const std::string& ff = f.free_field;
  const std::string& id = f.id_bancaria;
  const std::string p2 = Zeros(in.installment_no, 2);
  const std::string& bank = in.bank_code;
  if (bank == "409") {
    const int r = Mod11FromRight(ff.substr(10, 14), 9);
    EXPECT_EQ(ff[24], r == 10 ? '0' : ElevenMinus(r));
    EXPECT_EQ(ff.substr(1, 7), in.identificacao_sr.digits7);
  } else if (bank == "237") {
    const int r = Mod11FromRight(id.substr(0, 13), 7);
    EXPECT_EQ(id[13], r == 1 ? 'P' : r == 10 ? '1' : ElevenMinus(r));
    EXPECT_EQ(ff.substr(0, 4), in.agency4);
    EXPECT_EQ(ff.substr(17, 7), in.account7);
  } else if (bank == "001") {
    EXPECT_TRUE(ff.starts_with("000000") || ff.ends_with("21")) << ff;
  } else if (bank == "033") {
    EXPECT_EQ(ff[20], ElevenMinus(Mod11FromRight(ff.substr(8, 12), 9)));
    EXPECT_EQ(ff.substr(22), in.carteira_ext);
  } else if (bank == "356") {
    EXPECT_TRUE(LuhnValid(ff.substr(12) + ff.substr(0, 11) + ff.substr(11, 1))) << ff;
  } else if (bank == "341") {
    EXPECT_TRUE(LuhnValid(ff.substr(12, 4) + ff.substr(16, 5) + ff.substr(0, 3) + ff.substr(3, 8) +
                          ff.substr(11, 1)))
        << ff;
    EXPECT_EQ(ff.substr(21, 1), in.account_digit);
  } else if (bank == "399" && in.carteira_ext == "CNR") {
    const int r1 = Mod11Descending(ff.substr(7, 13));
    const std::string ref = f.reference_text;
    EXPECT_EQ(ref[10], r1 == 10 ? '0' : static_cast<char>('0' + r1)) << ref;
    const long long sum = std::stoll(ref.substr(0, 12)) + std::stoll(in.identificacao_sr.digits7) +
                          std::stoll(in.due_date_short);
    const int r2 = Mod11Descending(Zeros(std::to_string(sum), 13));
    EXPECT_EQ(ref[12], r2 == 10 ? '0' : static_cast<char>('0' + r2)) << ref;
    const Date due = *Date::FromDigits(in.due_date_digits);
    EXPECT_EQ(std::stoi(ff.substr(20, 3)), due.DayOfYear());
  } else if (bank == "399") {
    EXPECT_EQ(ff[10], ElevenMinus(Mod11FromRight(ff.substr(0, 10), 7)));
  } else if (bank == "104" && ff.size() == 25 && in.identificacao_sr.stored.size() == 6) {
    EXPECT_EQ(ff[6], ElevenMinus(Mod11FromRight(ff.substr(0, 6), 9)));
    EXPECT_EQ(ff[24], ElevenMinus(Mod11FromRight(ff.substr(0, 24), 9)));
    EXPECT_EQ(ff[10], in.gera_remessa_bol_sr == "S" ? '1' : '2');
    const std::string ref = f.reference_text;
    EXPECT_EQ(ref.back(), ElevenMinus(Mod11FromRight(ref.substr(0, 17), 9)));
  } else if (bank == "104") {
    EXPECT_EQ(id[10], ElevenMinus(Mod11FromRight(id.substr(0, 10), 9)));
    EXPECT_EQ(ff.substr(10), in.identificacao_sr.stored.substr(0, 15));
  } else if (bank == "756") {
    const std::string key = in.agency4 + Zeros(in.identificacao_sr.digits9, 10) + ff.substr(14, 7);
    const int weights[] = {3, 1, 9, 7};
    int sum = 0;
    for (size_t i = 0; i < key.size(); ++i) sum += (key[i] - '0') * weights[i % 4];
    EXPECT_EQ(ff[21], ElevenMinus(sum % 11));
    EXPECT_EQ(id[11], ElevenMinus(Mod11FromRight(id.substr(0, 11), 9)));
    EXPECT_EQ(ff.substr(22), Zeros(in.installment_no, 3));
  } else if (bank == "021") {
    EXPECT_TRUE(LuhnValid(ff.substr(0, 24))) << ff;
    const int r = Mod11FromRight(ff.substr(0, 24), 7);
    EXPECT_EQ(ff[24], r == 0 ? '0' : r == 1 ? '1' : static_cast<char>('0' + 11 - r));
    EXPECT_EQ(id[8], ElevenMinus(Mod11FromRight(id.substr(0, 8), 9)));
    const int r2 = [&] {
      int sum = 0;
      for (int i = 0; i < 9; ++i) sum += (id[i] - '0') * (10 - i);
      return sum % 11;
    }();
    EXPECT_EQ(id[9], ElevenMinus(r2));
  }
  (void)p2;
}

class RandomBoletoTest : public ::testing::TestWithParam<const char*> {};

TEST_P(RandomBoletoTest, LinesKeepTheirShapeAndEveryDigitVerifies) {
  const std::string bank = GetParam();
  Generator g(static_cast<uint32_t>(std::stoi(bank)) * 7919u + 17u);
  for (int i = 0; i < kBoletosPerBank; ++i) {
    const Case c = RandomCase(g, bank);
    SCOPED_TRACE("number " + c.in.doc_number + "/" + c.in.installment_no + " due " +
                 c.in.due_date_digits);
    const Result<BarcodeFields> bf =
        ComposeBarcodeFields(bank, c.in.due_date_digits, Currency::FromCents(c.cents));
    ASSERT_TRUE(bf.ok()) << bf.error().description;
    const Result<BankFields> fields = ComposeBankFields(c.in);
    ASSERT_TRUE(fields.ok()) << fields.error().description;
    ASSERT_EQ(fields->free_field.size(), 25u);
    const Result<DigitableLine> line =
        ComposeDigitableLine(bf->prefix, bf->factor_and_amount, fields->free_field);
    ASSERT_TRUE(line.ok()) << line.error().description;

    const std::string& printed = line->printed;
    ASSERT_EQ(printed.size(), 54u);
    for (size_t at : {5, 17, 30}) EXPECT_EQ(printed[at], '.') << printed;
    for (size_t at : {11, 24, 37, 39}) EXPECT_EQ(printed[at], ' ') << printed;

    const Result<std::string> rebuilt = RebuildBarcode(printed);
    ASSERT_TRUE(rebuilt.ok());
    EXPECT_EQ(*rebuilt, line->barcode);

    const std::string& barcode = line->barcode;
    ASSERT_EQ(barcode.size(), 44u);
    EXPECT_EQ(barcode.substr(0, 3), bank);
    EXPECT_EQ(barcode[3], '9');
    EXPECT_NE(barcode[4], '0');
    const int r = Mod11FromRight(barcode.substr(0, 4) + barcode.substr(5), 9);
    EXPECT_EQ(barcode[4], r <= 1 || r == 10 ? '1' : static_cast<char>('0' + 11 - r));
    EXPECT_EQ(barcode.substr(5, 4), *DueDateFactor(c.in.due_date_digits));
    EXPECT_EQ(barcode.substr(9, 10), Zeros(std::to_string(c.cents), 10));
    EXPECT_EQ(barcode.substr(19), fields->free_field);

    // Each printed field with its digit passes the Luhn test.
    EXPECT_TRUE(LuhnValid(printed.substr(0, 5) + printed.substr(6, 5))) << printed;
    EXPECT_TRUE(LuhnValid(printed.substr(12, 5) + printed.substr(18, 6))) << printed;
    EXPECT_TRUE(LuhnValid(printed.substr(25, 5) + printed.substr(31, 6))) << printed;

    ExpectBankDigits(c.in, *fields);
    if (HasFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(TenBanks, RandomBoletoTest,
                         ::testing::Values("409", "237", "001", "033", "356", "341", "399", "104",
                                           "756", "021"));

}  // namespace
}  // namespace boleto
