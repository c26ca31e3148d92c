// The boleto's two machine-readable codes in the FEBRABAN layout: the
// 44-digit barcode (bank, currency "9", check digit, due-date factor, amount
// in cents, the bank's 25-digit free field) and the digitable line, printed
// as 54 characters with dots and blanks. The drawing side receives only the
// printed line and takes the barcode back out of it with BarcodeOfPrintedLine.
#pragma once

#include <string>
#include <string_view>

#include "platform/currency.h"
#include "platform/status.h"

namespace boleto {

// The amount times 100 as digits without separators or padding ("1234" for
// 12,34, "0" for 0); fractions of a cent are dropped, a negative amount is "0".
std::string AmountInCents(Currency amount);

// The parts of the barcode known before the bank's free field.
struct BarcodeFields {
  std::string prefix;             // bank code (3, zero-padded) and currency "9"
  std::string factor_and_amount;  // due-date factor (4) and amount in cents (10)
};

// Prefix and factor-and-amount for a bank code, a due date "DDMMYYYY" (blank:
// factor "0000") and the amount due. Error 13 for an invalid due date; error
// 6 for an amount of 100.000.000,00 or more, whose cents do not fit the
// barcode's ten digits.
Result<BarcodeFields> ComposeBarcodeFields(std::string_view bank_code,
                                           std::string_view due_date_digits, Currency amount);

struct DigitableLine {
  std::string barcode_check_digit;  // method "S" over the other 43 digits
  std::string field1_check_digit;   // modulus 10 over prefix and free field 1-5
  std::string field2_check_digit;   // modulus 10 over free field 6-15
  std::string field3_check_digit;   // modulus 10 over free field 16-25
  std::string barcode;              // the 44 digits
  std::string printed;              // "AAAAA.AAAAA BBBBB.BBBBBB CCCCC.CCCCCC D EEEEEEEEEEEEEE"
};

// The barcode and the printed line from the prefix (4 digits), the factor
// and amount (14 digits) and the bank's free field (25 digits). Error 5 when
// any piece has another length or a non-digit: such a line never becomes a
// barcode.
Result<DigitableLine> ComposeDigitableLine(std::string_view prefix,
                                           std::string_view factor_and_amount,
                                           std::string_view free_field);

// The 44 barcode digits from the eight pieces of a printed line (text
// positions 1-5, 7-11, 13-17, 19-24, 26-30, 32-37, 39 and 41-54). Error 5
// when the text is shorter or a piece holds a non-digit.
Result<std::string> RebuildBarcode(std::string_view printed_line);

// Checks that a printed digitable line has the printed layout: 54
// characters, "." after the fifth digit of fields 1 to 3 and single blanks
// between the fields. Error 5 otherwise.
Status CheckPrintedLineLayout(std::string_view printed_line);

// The 44 barcode digits of a printed line: its layout checked
// (CheckPrintedLineLayout), then its pieces cut out (RebuildBarcode). Error 5
// when either refuses the line; the drawing side takes the line this way.
Result<std::string> BarcodeOfPrintedLine(std::string_view printed_line);

}  // namespace boleto
