#include "bankrules/barcode.h"

#include <gtest/gtest.h>

namespace boleto {
namespace {

TEST(AmountInCentsTest, DigitsWithoutSeparatorsOrPadding) {
  const struct {
    int64_t raw;
    const char* expected;
    const char* source;
  } rows[] = {
      {123400, "1234", "12,34"},
      {0, "0", "zero"},
      {9999, "99", "0,9999: the fraction of a cent is dropped"},
      {1000000, "10000", "100,00"},
      {-50000, "0", "a negative amount is written 0"},
      {1000000000000, "10000000000", "100.000.000,00 has eleven digits in cents"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(AmountInCents(Currency::FromRaw(row.raw)), row.expected) << row.source;
  }
}

TEST(ComposeBarcodeFieldsTest, PrefixFactorAndAmount) {
  const struct {
    const char* bank;
    const char* due;
    int64_t cents;
    const char* prefix;
    const char* factor_and_amount;
    const char* source;
  } rows[] = {
      {"341", "10042025", 15000, "3419", "10470000015000", "Itaú, 150,00 due 10/04/2025"},
      {"1", "07102000", 0, "0019", "10960000000000", "bank 1 is written 001; amount 0"},
      {"0033", "22022025", 9999999999, "0339", "10009999999999",
       "four-character code cut; largest amount"},
      {"237", "", 1, "2379", "00000000000001", "no due date: factor 0000"},
  };
  for (const auto& row : rows) {
    const Result<BarcodeFields> got =
        ComposeBarcodeFields(row.bank, row.due, Currency::FromCents(row.cents));
    ASSERT_TRUE(got.ok()) << row.source;
    EXPECT_EQ(got->prefix, row.prefix) << row.source;
    EXPECT_EQ(got->factor_and_amount, row.factor_and_amount) << row.source;
  }
}

TEST(ComposeBarcodeFieldsTest, AmountsBeyondTenDigitsOfCentsAreRefused) {
  // 100.000.000,00 would leave only "0000000000" in the barcode.
  const Result<BarcodeFields> got =
      ComposeBarcodeFields("341", "10042025", Currency::FromCents(10000000000));
  ASSERT_FALSE(got.ok());
  EXPECT_EQ(got.error().number, error_number::kOverflow);
  EXPECT_NE(got.error().description.find("100.000.000,00"), std::string::npos);
}

TEST(ComposeBarcodeFieldsTest, NegativeAmountsDueAreRefused) {
  // A negative amount would go into the barcode as ten zeros: any amount.
  const Result<BarcodeFields> got =
      ComposeBarcodeFields("341", "10042025", -Currency::FromCents(1234));
  ASSERT_FALSE(got.ok());
  EXPECT_EQ(got.error().number, error_number::kMalformedBarcode);
  EXPECT_NE(got.error().description.find("-12,34"), std::string::npos);
  // Zero itself stays a valid amount field.
  EXPECT_EQ(ComposeBarcodeFields("341", "10042025", Currency())->factor_and_amount,
            "10470000000000");
}

TEST(ComposeBarcodeFieldsTest, InvalidDueDateIsAnError) {
  const Result<BarcodeFields> got = ComposeBarcodeFields("341", "31042025", Currency());
  ASSERT_FALSE(got.ok());
  EXPECT_EQ(got.error().number, error_number::kTypeMismatch);
}

TEST(ComposeDigitableLineTest, HandComposedLines) {
  const struct {
    const char* prefix;
    const char* factor_and_amount;
    const char* free_field;
    const char* barcode;
    const char* printed;
    const char* digits;  // barcode, field 1, field 2, field 3
    const char* source;
  } rows[] = {
      {"3419", "10470000015000", "1090012340100123123456000",
       "34197104700000150001090012340100123123456000",
       "34191.09008 12340.100127 31234.560006 7 10470000015000", "7876",
       "Itaú: barcode S 477 R 4; fields S 32, 23, 24"},
      {"0019", "10070000035000", "0000001234567000045670218",
       "00191100700000350000000001234567000045670218",
       "00190.00009 01234.567004 00456.702182 1 10070000035000", "1942",
       "BB: barcode S 540 R 1 gives 1; fields S 11, 26, 28"},
      {"4099", "13120000123456", "5007654300000098765432120",
       "40991131200001234565007654300000098765432120",
       "40995.00763 54300.000095 87654.321204 1 13120000123456", "1354",
       "Unibanco: barcode S 637 R 10 gives 1; fields S 37, 25, 36"},
  };
  for (const auto& row : rows) {
    const Result<DigitableLine> got =
        ComposeDigitableLine(row.prefix, row.factor_and_amount, row.free_field);
    ASSERT_TRUE(got.ok()) << row.source << ": " << got.error().description;
    EXPECT_EQ(got->barcode, row.barcode) << row.source;
    EXPECT_EQ(got->printed, row.printed) << row.source;
    EXPECT_EQ(got->barcode_check_digit + got->field1_check_digit + got->field2_check_digit +
                  got->field3_check_digit,
              row.digits)
        << row.source;
  }
}

TEST(ComposeDigitableLineTest, PiecesThatCannotMakeABarcodeAreRefused) {
  const std::string good_free(25, '1');
  const struct {
    const char* prefix;
    const char* factor_and_amount;
    std::string free_field;
    const char* why;
  } rows[] = {
      {"3419", "10470000015000", "", "no free field (a branch that composed nothing)"},
      {"3419", "10470000015000", std::string(24, '1'), "24 digits (an account without digit)"},
      {"3419", "10470000015000", std::string(26, '1'), "26 digits"},
      {"3419", "10470000015000", "11111111111A1111111111111", "a letter in the free field"},
      {"3419", "10470000015000", "1111111111 111111111111111", "a blank in the free field"},
      {"34 9", "10470000015000", good_free, "a blank in the bank code"},
      {"349", "10470000015000", good_free, "three-character prefix"},
      {"3419", "1047000001500", good_free, "13-digit factor and amount"},
      {"3419", "1047000001500x", good_free, "a letter in the amount"},
  };
  for (const auto& row : rows) {
    const Result<DigitableLine> got =
        ComposeDigitableLine(row.prefix, row.factor_and_amount, row.free_field);
    ASSERT_FALSE(got.ok()) << row.why;
    EXPECT_EQ(got.error().number, error_number::kMalformedBarcode) << row.why;
    EXPECT_NE(got.error().description.find("no barcode"), std::string::npos) << row.why;
  }
}

TEST(RebuildBarcodeTest, EightPiecesOfThePrintedLine) {
  const struct {
    const char* printed;
    const char* barcode;
  } rows[] = {
      {"34191.09008 12340.100127 31234.560006 7 10470000015000",
       "34197104700000150001090012340100123123456000"},
      {"00190.00009 01234.567004 00456.702182 1 10070000035000",
       "00191100700000350000000001234567000045670218"},
      // Only the pieces are read: separators may be anything, text after 54 is ignored.
      {"00190-00009_01234x567004/00456,702182#1|10070000035000 extra",
       "00191100700000350000000001234567000045670218"},
  };
  for (const auto& row : rows) {
    const Result<std::string> got = RebuildBarcode(row.printed);
    ASSERT_TRUE(got.ok()) << row.printed;
    EXPECT_EQ(*got, row.barcode);
  }
}

TEST(RebuildBarcodeTest, ShortOrNonDigitLinesAreRefused) {
  for (const char* printed : {"", "34191.09008 12340.100127 31234.560006 7 1047000001500",
                              "34191.09008 12340.100127 31234.560006   10470000015000",
                              "34191.09008 1234 .100127 31234.560006 7 10470000015000"}) {
    const Result<std::string> got = RebuildBarcode(printed);
    ASSERT_FALSE(got.ok()) << printed;
    EXPECT_EQ(got.error().number, error_number::kMalformedBarcode);
  }
}

}  // namespace
}  // namespace boleto
