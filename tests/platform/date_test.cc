#include "platform/date.h"

#include <gtest/gtest.h>

namespace boleto {
namespace {

TEST(DateTest, FromDigitsReadsDayFirstThroughTheMask) {
  EXPECT_EQ(Date::FromDigits("06122026")->Format("DD/MM/YYYY"), "06/12/2026");
  EXPECT_EQ(Date::FromDigits("6122026")->Format("YYYY/MM/DD"), "2026/12/06");
  EXPECT_EQ(Date::FromDigits("31122026")->Format("MM/DD/YYYY"), "12/31/2026");
  EXPECT_FALSE(Date::FromDigits("31022026").has_value());  // no 31 February
  EXPECT_FALSE(Date::FromDigits("").has_value());
  EXPECT_FALSE(Date::FromDigits("0612202a").has_value());
}

TEST(DateTest, IsoTextsOfTheDrivers) {
  EXPECT_EQ(Date::ParseIso("2025-02-01")->DayOfYear(), 32);
  EXPECT_EQ(Date::ParseIso("2024-12-31 10:20:30")->DayOfYear(), 366);
  EXPECT_FALSE(Date::ParseIso("01/02/2025").has_value());
}

TEST(DateTest, ZeroDateAndArithmetic) {
  EXPECT_TRUE(Date().is_zero());
  EXPECT_EQ(Date().Format("DD/MM/YYYY"), "30/12/1899");
  const Date base = *Date::FromYmd(1997, 10, 7);
  EXPECT_EQ(Date::FromYmd(2000, 7, 3)->DaysSince(base), 1000);
  EXPECT_EQ(base.AddDays(9999).Format("DDMMYY"), "210225");
}

}  // namespace
}  // namespace boleto
