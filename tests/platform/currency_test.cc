#include "platform/currency.h"

#include <gtest/gtest.h>

namespace boleto {
namespace {

TEST(FormatMoneyTest, MaskWithDotThousandsAndCommaDecimals) {
  struct Row {
    int64_t raw;
    const char* expected;
  } rows[] = {
      {0, "0,00"},
      {123456000, "12.345,60"},
      {12345678900000, "1.234.567.890,00"},
      {12345, "1,23"},     // 1,2345 rounds down at the cent
      {12350, "1,24"},     // half a cent rounds away from zero
      {-51000, "-5,10"},
      {-40, "0,00"},       // below half a cent: no minus sign on zero
      {9999999, "1.000,00"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FormatMoney(Currency::FromRaw(row.raw)), row.expected) << row.raw;
  }
}

TEST(PercentOfTest, DiscountOfBaseAmount) {
  // 2 % of 905,00 (1.000,00 gross, 100,00 taxes, 5,00 fee) is 18,10.
  EXPECT_EQ(PercentOf(Currency::FromUnits(2), Currency::FromUnits(905))->raw(), 181000);
  // 1,5 % of 0,03 = 0,00045: ties go to the even ten-thousandth (0,0004).
  EXPECT_EQ(PercentOf(Currency::FromRaw(15000), Currency::FromRaw(300))->raw(), 4);
  // 1,5 % of 0,05 = 0,00075: ties to even give 0,0008.
  EXPECT_EQ(PercentOf(Currency::FromRaw(15000), Currency::FromRaw(500))->raw(), 8);
  EXPECT_FALSE(PercentOf(Currency::FromRaw(INT64_MAX), Currency::FromRaw(INT64_MAX)).has_value());
}

TEST(PlainDecimalTest, DotAndFixedPlaces) {
  EXPECT_EQ(PlainDecimal(Currency::FromRaw(12345000), 2), "1234.50");
  EXPECT_EQ(PlainDecimal(Currency::FromRaw(12345), 0), "1");
  EXPECT_EQ(PlainDecimal(Currency::FromRaw(-5), 2), "0.00");
}

}  // namespace
}  // namespace boleto
