#include "bankrules/check_digits.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace boleto {
namespace {

struct MethodRow {
  const char* method;
  const char* digits;
  const char* expected;
  const char* source;
};

void ExpectRows(const std::vector<MethodRow>& rows) {
  for (const MethodRow& row : rows) {
    const Result<std::string> got = CheckDigitByMethod(row.method, row.digits);
    ASSERT_TRUE(got.ok()) << row.method << " " << row.digits << ": " << got.error().description;
    EXPECT_EQ(*got, row.expected) << row.method << " " << row.digits << " (" << row.source << ")";
  }
}

TEST(CheckDigitByMethodTest, BankCodeDigitsAreThePublishedOnes) {
  ExpectRows({
      // Weights 4,3,2, remainder 0 or 1 gives 0, else 11 - R.
      {"B", "001", "9", "0+0+2=2, R 2: 001-9, Banco do Brasil"},
      {"B", "237", "2", "8+9+14=31, R 9: 237-2, Bradesco"},
      {"B", "341", "7", "12+12+2=26, R 4: 341-7, Itaú"},
      {"B", "104", "0", "4+0+8=12, R 1: 104-0, Caixa"},
      {"B", "033", "7", "0+9+6=15, R 4: 033-7, Santander"},
      {"B", "399", "9", "12+27+18=57, R 2: 399-9, HSBC"},
      {"B", "756", "0", "28+15+12=55, R 0: 756-0, Sicoob"},
      {"B", "356", "5", "12+15+12=39, R 6: 356-5, Real"},
      {"B", "409", "0", "16+0+18=34, R 1: 409-0, Unibanco"},
      {"B", "021", "3", "0+6+2=8, R 8: 021-3, Banestes"},
  });
}

TEST(CheckDigitByMethodTest, EveryMethodAndRemainderRule) {
  ExpectRows({
      {"A", "1234", "3", "5+8+9+8=30, R 8"},
      {"A", "0456", "1", "0+16+15+12=43, R 10: 11 - 10"},
      {"A", "0000", "0", "S 0, R 0"},
      {"C", "0012345", "5", "weights 2,7,6,5,4,3,2: S 50, R 6"},
      {"C", "0098765", "4", "S 150, R 7"},
      {"N", "00000000012301", "3", "Unibanco 123/01: S 30, R 8"},
      {"N", "00009876543212", "0", "S 243, R 1: 11-1 would be two digits, 0 instead"},
      {"N", "00000000000005", "0", "last weight 2: S 10, R 10 gives 0"},
      {"N2", "000123011234567890120210", "6",
       "Banestes key: weights 2-7 from the right, S 247, R 5"},
      {"N2", "000000000000000000000040", "1", "position 23 weight 3: S 12, R 1 gives 1"},
      {"N2", "000000000000000000000000", "0", "S 0"},
      {"N3", "8200123401", "8", "Caixa SICOB: S 80, R 3"},
      {"N3", "9000567802", "7", "S 169, R 4"},
      {"N4", "123456", "0", "Caixa code: 7+12+15+16+15+12=77, R 0"},
      {"N4", "654321", "9", "42+30+20+12+6+2=112, R 2"},
      {"N5", "123456000010004000123401", "8", "Caixa free field: S 190, R 3"},
      {"N6", "14000000000123401", "9", "Caixa number: S 90, R 2"},
      {"N7", "0900000456703", "2", "Bradesco: weights 2-7 from the right, S 185, R 9"},
      {"N7", "0000000000006", "P", "last weight 2: S 12, R 1 gives P"},
      {"N7", "0000000000005", "1", "S 10, R 10 gives 1"},
      {"N7", "0000000000000", "0", "S 0"},
      {"N8", "5432112301", "8", "HSBC CSB: 25+16+9+4+7+6+10+12+0+2=91, R 3"},
      {"N9", "1000040000000", "2", "weights 5 and 8: S 13, R 2 itself"},
      {"N9", "0000050000000", "0", "weight 2: S 10, R 10 gives 0"},
      {"N9", "0000000457102", "9", "HSBC CNR: weights 9..2 from the right, S 108, R 9"},
      {"N10", "000000123401", "3", "Santander: S 52, R 8"},
      {"N10", "000005555502", "0", "S 154, R 0"},
  });
}

TEST(CheckDigitByMethodTest, BarcodeDigitIsNeverZero) {
  const std::string zeros(43, '0');
  std::string r1 = zeros;
  r1[0] = '3';  // weight 4: S 12, R 1
  std::string r10 = zeros;
  r10[42] = '5';  // weight 2: S 10, R 10
  std::string r2 = zeros;
  r2[42] = '1';  // S 2, R 2: 11 - 2
  ExpectRows({
      {"S", zeros.c_str(), "1", "R 0: 11 becomes 1"},
      {"S", r1.c_str(), "1", "R 1: 10 becomes 1"},
      {"S", r10.c_str(), "1", "R 10: 1 stays 1"},
      {"S", r2.c_str(), "9", "R 2"},
      {"S", "0019100700000350000000001234567000045670218", "1", "BB boleto: S 540, R 1"},
      {"S", "4099131200001234565007654300000098765432120", "1", "Unibanco boleto: S 637, R 10"},
      {"S", "2379102100000099901234090000045670300123450", "7", "Bradesco boleto: S 576, R 4"},
  });
}

TEST(CheckDigitByMethodTest, UnknownMethodGivesEmptyText) {
  for (const char* method : {"", "X", "n", "N1", "N11", "P5", "CB", "s"}) {
    const Result<std::string> got = CheckDigitByMethod(method, "1234");
    ASSERT_TRUE(got.ok()) << method;
    EXPECT_EQ(*got, "") << method;
  }
}

TEST(CheckDigitByMethodTest, WrongLengthOrNonDigitIsAnErrorValue) {
  const struct {
    const char* method;
    std::string digits;
  } rows[] = {
      {"A", "123"},                 // one short
      {"A", "12345"},               // one long: never read partly
      {"A", "12a4"},                // a letter
      {"A", "12 4"},                // a blank
      {"A", ""},                    // nothing
      {"N7", "090000045670"},       // 12 of 13
      {"S", std::string(42, '1')},  // 42 of 43
      {"S", std::string(44, '1')},  // the whole barcode instead of 43
      {"N6", "1400000000012340"},   // three-character portfolio missing a digit
      {"N9", "-000000457102"},      // a sign
  };
  for (const auto& row : rows) {
    const Result<std::string> got = CheckDigitByMethod(row.method, row.digits);
    ASSERT_FALSE(got.ok()) << row.method << " " << row.digits;
    EXPECT_EQ(got.error().number, error_number::kTypeMismatch);
    EXPECT_NE(got.error().description.find(row.method), std::string::npos)
        << got.error().description;
  }
}

// The weights seen from the right: 2, 3, ... up to `top` and again from 2;
// "N9" runs 9 down to 2 instead. Computed here apart from the method table.
int WeightFromRight(const std::string& method, int top, size_t from_right) {
  if (method == "N9") return 9 - static_cast<int>(from_right % 8);
  return 2 + static_cast<int>(from_right % (top - 1));
}

std::string IndependentDigit(const std::string& method, const std::string& digits) {
  const struct {
    const char* name;
    int top;
  } tops[] = {{"A", 9},  {"B", 9},  {"C", 7},  {"N", 9},  {"N2", 7}, {"N3", 9},  {"N4", 7},
              {"N5", 9}, {"N6", 9}, {"N7", 7}, {"N8", 7}, {"N9", 9}, {"N10", 9}, {"S", 9}};
  int top = 0;
  for (const auto& t : tops) {
    if (method == t.name) top = t.top;
  }
  int sum = 0;
  for (size_t i = 0; i < digits.size(); ++i) {
    sum += (digits[digits.size() - 1 - i] - '0') * WeightFromRight(method, top, i);
  }
  const int r = sum % 11;
  if (method == "N9") return std::to_string(r == 10 ? 0 : r);
  if (method == "N7") return r == 0 ? "0" : r == 1 ? "P" : std::to_string(r == 10 ? 1 : 11 - r);
  if (method == "N2") return std::to_string(r == 0 ? 0 : r == 1 ? 1 : 11 - r);
  if (method == "N") return std::to_string(r == 0 || r == 1 || r == 10 ? 0 : 11 - r);
  if (method == "S") return std::to_string(r == 0 || r == 1 || r == 10 ? 1 : 11 - r);
  return std::to_string(r <= 1 ? 0 : 11 - r);
}

TEST(CheckDigitByMethodTest, AgreesWithWeightsCountedFromTheRight) {
  const struct {
    const char* method;
    size_t length;
  } methods[] = {{"A", 4},   {"B", 3},   {"C", 7},    {"N", 14},  {"N2", 24},
                 {"N3", 10}, {"N4", 6},  {"N5", 24},  {"N6", 17}, {"N7", 13},
                 {"N8", 10}, {"N9", 13}, {"N10", 12}, {"S", 43}};
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> digit(0, 9);
  for (const auto& m : methods) {
    for (int i = 0; i < 2000; ++i) {
      std::string digits;
      for (size_t j = 0; j < m.length; ++j) digits += static_cast<char>('0' + digit(random));
      const Result<std::string> got = CheckDigitByMethod(m.method, digits);
      ASSERT_TRUE(got.ok());
      ASSERT_EQ(*got, IndependentDigit(m.method, digits)) << m.method << " " << digits;
      ASSERT_EQ(got->size(), 1u);
    }
  }
}

TEST(Modulo10CheckDigitTest, WeightsTwoAndOneFromTheRight) {
  const struct {
    const char* method;
    const char* digits;
    const char* expected;
    const char* source;
  } rows[] = {
      {"P11", "0000000000", "0", "S 0"},
      {"P11", "1", "8", "2 x 1 = 2, 10 - 2"},
      {"P5", "9", "1", "2 x 9 = 18 counts 1 + 8 = 9"},
      {"P5", "001900000", "9", "BB field 1: S 11"},
      {"P11", "0123456700", "4", "BB field 2: S 26"},
      {"P11", "0045670218", "2", "BB field 3: S 28"},
      {"P5", "01231234510900123401", "0",
       "Itaú DAC of agency 0123, account 12345, 109/00123401: S 60"},
      {"P5", "1a", "9", "a letter counts 0: 0 x 2 + 1 x 1 = 1"},
      {"X", "1", "0", "unknown method"},
      {"", "1", "0", "no method"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Modulo10CheckDigit(row.method, row.digits), row.expected)
        << row.method << " " << row.digits << " (" << row.source << ")";
  }
}

TEST(NumericModulo10CheckDigitTest, GuardedByTheNumericTest) {
  const struct {
    const char* digits;
    const char* expected;
  } rows[] = {
      {"0000000778801"
       "0501"
       "6703255",
       "3"},  // Real: number, agency, account; S 57
      {"1", "8"},
      {"", "0"},     // empty is not a number
      {"abc", "0"},  // letters
      {"12a", "0"},  // a letter anywhere
      {"   ", "0"},  // blanks only
  };
  for (const auto& row : rows) {
    EXPECT_EQ(NumericModulo10CheckDigit(row.digits), row.expected) << row.digits;
  }
}

TEST(PaddedModulo11CheckDigitTest, PaddedToTheMethodLength) {
  const struct {
    const char* method;
    const char* digits;
    const char* expected;
    const char* source;
  } rows[] = {
      {"CB", "1", "8", "position 21 weight 3: S 3, 11 - 3"},
      {"CB", "413300001234560001234", "4",
       "Sicoob 4133/0000123456/0001234: 3197 weights, S 194, R 7"},
      {"CB", "9413300001234560001234", "4", "a 22nd digit on the left is dropped"},
      {"CB", "306900012345677654321", "1", "S 406, R 10"},
      {"ED", "1", "9", "position 11 weight 2: S 2"},
      {"ED", "00012344001", "7", "Sicoob stored reference: S 92, R 4"},
      {"ED", "76543211012", "6", "S 148, R 5"},
      {"ED", "", "0", "empty is not a number"},
      {"CB", "12x", "0", "not a number"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PaddedModulo11CheckDigit(row.method, row.digits), row.expected)
        << row.method << " " << row.digits << " (" << row.source << ")";
  }
}

TEST(PaddedKeyCheckDigitTest, PaddedToTheMethodLength) {
  const struct {
    const char* method;
    const char* digits;
    const char* expected;
    const char* source;
  } rows[] = {
      {"ED1", "1", "9", "position 8 weight 2: S 2"},
      {"ED1", "00012301", "3", "Banestes number 123/01: S 30, R 8"},
      {"ED1", "98765407", "1", "S 285, R 10"},
      {"ED2", "000123013", "1", "weights 10..2: S 43, R 10"},
      {"ED2", "987654071", "8", "S 333, R 3"},
      {"CB", "00012301123456789012021", "0", "Banestes key: S 60"},
      {"CB", "98765407000000987651021", "6", "S 74"},
      {"CB", "1", "8", "padded to 23: the digit sits at an odd position, weight 2"},
      {"ED1", "", "0", "empty"},
      {"ED2", "1.2.3x", "0", "not a number"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PaddedKeyCheckDigit(row.method, row.digits), row.expected)
        << row.method << " " << row.digits << " (" << row.source << ")";
  }
}

TEST(PaddedKeyCheckDigitTest, KeyDigitEqualsTheModulo10DigitUpTo23Digits) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> digit(0, 9);
  std::uniform_int_distribution<int> length(1, 23);
  for (int i = 0; i < 5000; ++i) {
    std::string digits;
    for (int n = length(random); n > 0; --n) digits += static_cast<char>('0' + digit(random));
    ASSERT_EQ(PaddedKeyCheckDigit("CB", digits), Modulo10CheckDigit("P11", digits)) << digits;
  }
}

TEST(IsNumericTextTest, WholeTextReadsAsANumber) {
  EXPECT_TRUE(IsNumericText("123"));
  EXPECT_TRUE(IsNumericText(" -1.234,5 "));
  EXPECT_FALSE(IsNumericText(""));
  EXPECT_FALSE(IsNumericText("-"));
  EXPECT_FALSE(IsNumericText("1 2"));
  EXPECT_FALSE(IsNumericText("12x"));
}

}  // namespace
}  // namespace boleto
