// The check-digit routines behind every digit printed on a boleto: the bank
// code's digit, the reference numbers ("nosso número") of each bank, agency
// and account digits, the barcode's general digit and the digitable line's
// field digits. Each takes a text of decimal digits, most significant first,
// and returns the check digit as one character. Pure: no state, no messages.
#pragma once

#include <string>
#include <string_view>

#include "platform/status.h"

namespace boleto {

// Modulus 11 with the weights and remainder rule of `method`: "A" (4 digits),
// "B" (3), "C" (7), "N" (14), "N2" (24), "N3" (10), "N4" (6), "N5" (24),
// "N6" (17), "N7" (13, may give "P"), "N8" (10), "N9" (13), "N10" (12),
// "S" (43, the barcode digit, never "0"). "" for an unknown method; error 13
// when `digits` is not exactly the method's number of digits.
Result<std::string> CheckDigitByMethod(std::string_view method, std::string_view digits);

// The same digit as one character, '\0' for an unknown method; for callers
// that place it straight into a fixed-width field.
Result<char> CheckDigitCharByMethod(std::string_view method, std::string_view digits);

// Modulus 10 with weights 2,1,2,1... from the rightmost digit, products above
// 9 summed digit by digit; any length, a non-digit counts 0. Methods "P5" and
// "P11" (the digitable line's fields); "0" for any other method.
std::string Modulo10CheckDigit(std::string_view method, std::string_view digits);

// The same modulus-10 digit as one character, for a text already known to
// be digits only (the digitable line's fields); any other text gives an
// unspecified digit.
char Modulo10CheckDigitChar(std::string_view digits);

// The same modulus-10 digit; "0" when `digits` is not a number.
std::string NumericModulo10CheckDigit(std::string_view digits);

// Modulus 11 over `digits` zero-padded to a fixed length (rightmost kept):
// "CB" 21 digits weighted 3,1,9,7...; any other method ("ED") 11 digits
// weighted 4,3,2,9,...,2. Remainder 0 or 1 gives "0". "0" when not a number.
std::string PaddedModulo11CheckDigit(std::string_view method, std::string_view digits);

// Key digits over `digits` zero-padded to a fixed length: "CB" 23 digits,
// modulus 10 with weights 2,1 from the left; "ED1" 8 digits weighted 9..2 and
// any other method ("ED2") 9 digits weighted 10..2, modulus 11 with remainder
// 0 or 1 giving "0". "0" when not a number.
std::string PaddedKeyCheckDigit(std::string_view method, std::string_view digits);

// True when `text` reads as one number as a whole: surrounding blanks, a
// leading sign, dots and commas allowed, at least one digit.
bool IsNumericText(std::string_view text);

}  // namespace boleto
