#include "platform/amount_text.h"

#include <gtest/gtest.h>

namespace boleto {
namespace {

constexpr int64_t k = Currency::kScale;

TEST(ParseAmountTest, DotDecimalMarkLetsTheRightmostSeparatorDecide) {
  struct Row {
    const char* text;
    int64_t raw;
    const char* why;
  } rows[] = {
      {"1.234,56", 1234 * k + 5600, "rightmost is a comma: comma decimal, dot thousands"},
      {"12.5", 125 * k / 10, "rightmost is a dot: number literal"},
      {"1234", 1234 * k, "no separator: number literal"},
      {"1,234.56", 1 * k, "number literal stops at the comma"},
      {"12 34", 1234 * k, "number literal skips inner blanks"},
      {"  7.25  ", 725 * k / 100, "blanks around a literal"},
      {"abc", 0, "a literal without digits is zero"},
      {"", 0, "an empty text is zero"},
      {"-3.5", -35 * k / 10, "a signed literal"},
      {"12abc", 12 * k, "the literal stops at the first letter"},
      {"1.5E2", 150 * k, "exponent"},
      {"1234567", 1234567 * k, "seven-digit agreement number"},
      {"0.00005", 0, "half a ten-thousandth rounds to the even 0"},
      {"0.00015", 2, "half a ten-thousandth rounds to the even 2"},
      {"0.000151", 2, "more than half rounds up"},
      {"1,5", 15 * k / 10, "comma decimal"},
      {"1.234.567,891", 1234567 * k + 8910, "several thousands groups"},
  };
  for (const Row& row : rows) {
    const Result<Currency> got = ParseAmount(row.text, ".");
    ASSERT_TRUE(got.ok()) << row.text << ": " << row.why;
    EXPECT_EQ(got->raw(), row.raw) << row.text << ": " << row.why;
  }
}

TEST(ParseAmountTest, OtherDecimalMarkAlwaysReadsCommaDecimal) {
  struct Row {
    const char* text;
    int64_t raw;
  } rows[] = {
      {"1.234,56", 1234 * k + 5600}, {"1234,5", 12345 * k / 10}, {" 12 ", 12 * k},
      {"-0,5", -5 * k / 10},         {",25", 25 * k / 100},
  };
  for (const Row& row : rows) {
    const Result<Currency> got = ParseAmount(row.text, ",");
    ASSERT_TRUE(got.ok()) << row.text;
    EXPECT_EQ(got->raw(), row.raw) << row.text;
  }
}

TEST(ParseAmountTest, TextsThatAreNoAmountAreErrors) {
  struct Row {
    const char* text;
    const char* mark;
    int32_t number;
  } rows[] = {
      {"abc", ",", error_number::kTypeMismatch},     // comma-decimal reader needs digits
      {"", ",", error_number::kTypeMismatch},        // nothing to read
      {"12.5", ",", error_number::kTypeMismatch},    // a dot is no thousands mark here
      {"1.2,45", ".", error_number::kTypeMismatch},  // dot before a two-digit group
      {"1,2,3", ".", error_number::kTypeMismatch},   // two decimal commas
      {"99999999999999999999", ".", error_number::kOverflow},
      {"1E30", ".", error_number::kOverflow},
      {"922337203685477,5808", ".", error_number::kOverflow},  // one past the largest amount
  };
  for (const Row& row : rows) {
    const Result<Currency> got = ParseAmount(row.text, row.mark);
    ASSERT_FALSE(got.ok()) << row.text;
    EXPECT_EQ(got.error().number, row.number) << row.text;
  }
  // The largest amount itself still fits.
  EXPECT_EQ(ParseAmount("922337203685477,5807", ".")->raw(), INT64_MAX);
  EXPECT_EQ(ParseAmount("-922337203685477,5808", ".")->raw(), INT64_MIN);
}

// A stored amount is a number as the drivers write one; a text that a
// loosely typed column kept is refused, even where ParseAmount reads it.
TEST(ParseStoredAmountTest, OnlyNumbersAsTheDriversWriteThem) {
  struct Row {
    const char* text;
    int64_t raw;  // -1: refused with error 13
  } rows[] = {
      {"1500", 1500 * k}, {"-2.5000", -25 * k / 10},
      {".5", 5 * k / 10}, {"1.0e+2", 100 * k},
      {"7.", 7 * k},      {" 12.5 ", 125 * k / 10},
      {"1.500,00", -1},   {"12,34", -1},
      {"12abc", -1},      {"1 234", -1},
      {"", -1},           {".", -1},
      {"1e", -1},         {"NaN", -1},
      {"-Infinity", -1},  {"inf", -1},
      {"\t5", -1},        {"0x10", -1},
  };
  for (const Row& row : rows) {
    const Result<Currency> got = ParseStoredAmount(row.text, ".");
    if (row.raw == -1) {
      ASSERT_FALSE(got.ok()) << row.text;
      EXPECT_EQ(got.error().number, error_number::kTypeMismatch) << row.text;
      EXPECT_EQ(got.error().description,
                "Type mismatch: \"" + std::string(row.text) + "\" is not an amount");
    } else {
      ASSERT_TRUE(got.ok()) << row.text;
      EXPECT_EQ(got->raw(), row.raw) << row.text;
    }
  }
  EXPECT_EQ(ParseStoredAmount("1E30", ".").error().number, error_number::kOverflow);
}

TEST(SqlDecimalTextTest, TextsBecomeDotDecimalWithTwoPlaces) {
  struct Row {
    const char* text;
    const char* expected;
    const char* why;
  } rows[] = {
      {"1234,5", "1234.50", "comma decimal gets its second decimal"},
      {"1.234,56", "1234.56", "thousands dot dropped"},
      {"12.5", "12.50", "dot decimal with one place gets a zero"},
      {"abc", "0.00", "letters"},
      {"-5", "0.00", "a sign is not among the allowed characters"},
      {"", "0.00", "empty"},
      {"0", "0.00", "zero"},
      {"1234567890,12", "1234567890.12", "fills the 13-character field"},
      {"  42  ", "42.00", "blanks trimmed"},
      {"\t42", "0.00", "a tab is no blank: a character outside digits, comma and dot"},
      {"42\r\n", "0.00", "nor is a line break"},
      {".5", "0.50", "no integer digits"},
      {"7.05", "7.05", "dot decimal with two places"},
      {"1234,567", "1234.57", "comma decimal rounded half away from zero"},
      {"0,005", "0.01", "half a cent rounds up"},
      {"1234567890.12", "1234567890.12", "dot decimal filling the field"},
  };
  for (const Row& row : rows) {
    const Result<std::string> got = SqlDecimalText(row.text, ".");
    ASSERT_TRUE(got.ok()) << row.text << ": " << row.why;
    EXPECT_EQ(*got, row.expected) << row.text << ": " << row.why;
  }
}

TEST(SqlDecimalTextTest, OtherDecimalMarkKeepsTheComma) {
  EXPECT_EQ(*SqlDecimalText("1234,5", ","), "1234,50");
  EXPECT_EQ(*SqlDecimalText("-5", ","), "0,00");  // the "0.00" fallback read back
  EXPECT_EQ(*SqlDecimalText("12.5", ","), "12,50");
}

TEST(SqlDecimalTextTest, TextsThatCannotFillTheFieldAreErrors) {
  struct Row {
    const char* text;
    int32_t number;
    const char* why;
  } rows[] = {
      {"12.345", error_number::kTypeMismatch, "three decimals after a dot"},
      {"1.2345", error_number::kTypeMismatch, "four decimals after a dot"},
      {"1,2,3", error_number::kTypeMismatch, "two commas"},
      {"12345678901,5", error_number::kOverflow, "eleven integer digits"},
      {"12345678901.50", error_number::kOverflow, "a dot text longer than the field is not cut"},
      {"99999999999999999999", error_number::kOverflow, "beyond the amount type"},
  };
  for (const Row& row : rows) {
    const Result<std::string> got = SqlDecimalText(row.text, ".");
    ASSERT_FALSE(got.ok()) << row.text << ": " << row.why << " gave " << got.value();
    EXPECT_EQ(got.error().number, row.number) << row.text << ": " << row.why;
  }
}

TEST(SqlDecimalTextTest, AmountsAreWrittenInTheProgramConventionsFirst) {
  struct Row {
    int64_t raw;
    const char* expected;
  } rows[] = {
      {0, "0.00"},                            // zero
      {12345 * k / 10, "1234.50"},            // written "1234,5"
      {123456, "12.35"},                      // 12,3456 rounded at the cent
      {5, "0.00"},                            // 0,0005
      {-5 * k, "0.00"},                       // negative: "-5" is refused as text
      {123456789012 * 100, "1234567890.12"},  // the largest field
  };
  for (const Row& row : rows) {
    const Result<std::string> got = SqlDecimalText(Currency::FromRaw(row.raw), ".");
    ASSERT_TRUE(got.ok()) << row.raw;
    EXPECT_EQ(*got, row.expected) << row.raw;
  }
  EXPECT_FALSE(SqlDecimalText(Currency::FromUnits(10000000000), ".").ok());  // 11 digits
}

TEST(TextPositionTest, FirstExactOccurrence) {
  struct Row {
    const char* needle;
    const char* haystack;
    int16_t expected;
  } rows[] = {
      {"", "abc", 1},  // the empty text is found at the start
      {"", "", 1},     // even in an empty text
      {".", "", 0},    // nothing is found in an empty text
      {".", "12.50", 3},  {".", "1.2.3", 1 + 1}, {"A", "abc", 0},  // case matters
      {"bc", "abcbc", 2}, {"abcd", "abc", 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(TextPosition(row.needle, row.haystack), row.expected)
        << row.needle << " in " << row.haystack;
  }
  const std::string long_text = std::string(40000, 'x') + ".";
  EXPECT_EQ(TextPosition(".", long_text), 0);  // past what a 16-bit position holds
  EXPECT_EQ(TextPosition("x", long_text), 1);
}

}  // namespace
}  // namespace boleto
