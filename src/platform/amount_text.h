// Amount texts as the program has always read and written them. Amounts
// arrive as text (from the drivers, from the beneficiary settings) in either
// the dot-decimal form or the program's own comma-decimal, dot-thousands
// form; they leave as SQL decimal text with a dot and two decimals. The run's
// `DecimalMark` ("." once the argument text has been read) selects the
// branch. Pure functions: no locale, no clock, no state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/currency.h"
#include "platform/status.h"

namespace boleto {

// The amount written in `text`. With decimal_mark "." the rightmost "." or ","
// decides: a "," makes it comma-decimal, dot-thousands ("1.234,56" is
// 1234.56); otherwise it is read like a number literal that stops at the first
// character that cannot continue it, blanks skipped ("12 34" is 1234,
// "1,234.56" is 1, "abc" is 0). With any other decimal_mark the text is always
// comma-decimal. Error 13 for a comma-decimal text that is no number and for
// infinity or NaN ("inf", "-Infinity", "NaN"), 6 when the amount does not fit
// the currency type.
Result<Currency> ParseAmount(std::string_view text, std::string_view decimal_mark);

// The amount a database column holds, as ParseAmount reads it, once `text`
// is a number as the drivers write one: a dot-decimal literal with an
// optional sign and exponent ("1500", "-2.5000", ".5", "1.0e+20"), blanks
// around it allowed. Anything else is a text a loosely typed column kept
// ("1.500,00", "12,34", "12abc"), which SQL arithmetic would read otherwise
// than the program, or infinity or NaN: error 13.
Result<Currency> ParseStoredAmount(std::string_view text, std::string_view decimal_mark);

// `text` as SQL decimal text with a dot and two decimals ("1234,5" gives
// "1234.50", "12.5" gives "12.50"); an empty text or one with any character
// but digits, "," and "." gives "0.00". With a decimal_mark other than "."
// the decimal is a comma ("1234,50"). Error 13 for more than two decimals
// after a "." or a text that is no number, 6 for more than 13 characters.
Result<std::string> SqlDecimalText(std::string_view text, std::string_view decimal_mark);

// The same for an amount, first written in the program's conventions
// ("1234,5"), rounded half away from zero at the cent; a negative amount
// gives "0.00".
Result<std::string> SqlDecimalText(Currency value, std::string_view decimal_mark);

// The 1-based position of the first exact occurrence of `needle` in
// `haystack`, 0 when absent, 1 for an empty needle. Only occurrences that
// start within the first 32767 characters are found.
int16_t TextPosition(std::string_view needle, std::string_view haystack);

}  // namespace boleto
