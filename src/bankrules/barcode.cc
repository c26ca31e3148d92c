#include "bankrules/barcode.h"

#include <cstring>

#include "bankrules/check_digits.h"
#include "bankrules/digit_text.h"
#include "bankrules/due_date_factor.h"

namespace boleto {
namespace {

using bankrules::AllDigits;
using bankrules::Pad;

constexpr size_t kBankCodeLength = 3;
constexpr size_t kPrefixLength = 4;
constexpr size_t kFactorLength = 4;
constexpr size_t kAmountLength = 10;
constexpr size_t kFactorAndAmountLength = kFactorLength + kAmountLength;
constexpr size_t kFreeFieldLength = 25;
constexpr size_t kBarcodeLength = 44;
constexpr size_t kPrintedLength = 54;

Error Malformed(std::string what) {
  return MakeError(error_number::kMalformedBarcode,
                   "Malformed digitable line: " + std::move(what) + "; no barcode is printed");
}

// Separators between the digit groups of the printed line: a dot inside each
// field, blanks between the fields (0-based positions).
constexpr struct {
  size_t position;
  char separator;
} kSeparators[] = {{5, '.'}, {11, ' '}, {17, '.'}, {24, ' '}, {30, '.'}, {37, ' '}, {39, ' '}};

}  // namespace

std::string AmountInCents(Currency amount) {
  constexpr int64_t kRawPerCent = Currency::kScale / 100;
  if (amount.raw() <= 0) return "0";
  return std::to_string(amount.raw() / kRawPerCent);
}

Result<BarcodeFields> ComposeBarcodeFields(std::string_view bank_code,
                                           std::string_view due_date_digits, Currency amount) {
  // Every return is `out` itself, so that the fields are built where the
  // caller receives them.
  Result<BarcodeFields> out = BarcodeFields{};
  if (amount < Currency()) {
    // A zero amount field lets the payer type any amount: a negative amount
    // due is refused instead of printed as "0000000000".
    out = MakeError(error_number::kMalformedBarcode, "The amount due " + FormatMoney(amount) +
                                                         " is below zero; no barcode is printed");
    return out;
  }
  Result<std::string> factor = DueDateFactor(due_date_digits);
  if (!factor.ok()) {
    out = factor.error();
    return out;
  }
  const std::string cents = AmountInCents(amount);
  if (cents.size() > kAmountLength) {
    // Cutting the cents to their last ten digits would print another amount.
    out = MakeError(error_number::kOverflow, "Overflow: the amount " + FormatMoney(amount) +
                                                 " does not fit the barcode's ten digits");
    return out;
  }
  BarcodeFields& fields = *out;
  fields.prefix = Pad(bank_code, kBankCodeLength);
  fields.prefix += '9';  // currency code of the real
  fields.factor_and_amount = std::move(*factor);
  fields.factor_and_amount += Pad(cents, kAmountLength);
  return out;
}

Result<DigitableLine> ComposeDigitableLine(std::string_view prefix,
                                           std::string_view factor_and_amount,
                                           std::string_view free_field) {
  // Every return is `out` itself, so that the line is built where the caller
  // receives it.
  Result<DigitableLine> out = DigitableLine{};
  if (prefix.size() != kPrefixLength || !AllDigits(prefix)) {
    out = Malformed("bank and currency \"" + std::string(prefix) + "\" are not 4 digits");
    return out;
  }
  if (factor_and_amount.size() != kFactorAndAmountLength || !AllDigits(factor_and_amount)) {
    out =
        Malformed("factor and amount \"" + std::string(factor_and_amount) + "\" are not 14 digits");
    return out;
  }
  if (free_field.size() != kFreeFieldLength || !AllDigits(free_field)) {
    out = Malformed("free field \"" + std::string(free_field) + "\" is not 25 digits");
    return out;
  }
  // Built in fixed buffers: the line is composed once per boleto and its
  // pieces are small.
  char body[kBarcodeLength - 1];  // the 43 digits under the barcode's check digit
  std::memcpy(body, prefix.data(), kPrefixLength);
  std::memcpy(body + kPrefixLength, factor_and_amount.data(), kFactorAndAmountLength);
  std::memcpy(body + kPrefixLength + kFactorAndAmountLength, free_field.data(), kFreeFieldLength);
  const Result<char> check = CheckDigitCharByMethod("S", std::string_view(body, sizeof body));
  if (!check.ok()) {
    out = check.error();
    return out;
  }
  const char barcode_digit = *check;
  DigitableLine& line = *out;
  line.barcode_check_digit.push_back(barcode_digit);

  char barcode[kBarcodeLength];
  std::memcpy(barcode, prefix.data(), kPrefixLength);
  barcode[kPrefixLength] = barcode_digit;
  std::memcpy(barcode + kPrefixLength + 1, body + kPrefixLength, sizeof body - kPrefixLength);
  line.barcode.assign(barcode, sizeof barcode);

  // The field digits: modulus 10 (methods "P5" and "P11") over texts that are
  // digits by now.
  char field1[9];  // prefix and free field 1-5, before its digit
  std::memcpy(field1, prefix.data(), kPrefixLength);
  std::memcpy(field1 + kPrefixLength, free_field.data(), 5);
  const std::string_view free2 = free_field.substr(5, 10);
  const std::string_view free3 = free_field.substr(15, 10);
  const char digit1 = Modulo10CheckDigitChar(std::string_view(field1, sizeof field1));
  const char digit2 = Modulo10CheckDigitChar(free2);
  const char digit3 = Modulo10CheckDigitChar(free3);
  line.field1_check_digit.push_back(digit1);
  line.field2_check_digit.push_back(digit2);
  line.field3_check_digit.push_back(digit3);

  // "AAAAA.AAAAA BBBBB.BBBBBB CCCCC.CCCCCC D EEEEEEEEEEEEEE"
  char printed[kPrintedLength];
  char* p = printed;
  auto put = [&p](std::string_view piece) {
    bankrules::CopyChars(piece, p);
    p += piece.size();
  };
  auto put_char = [&p](char c) { *p++ = c; };
  put(std::string_view(field1, 5));
  put_char('.');
  put(std::string_view(field1 + 5, 4));
  put_char(digit1);
  put_char(' ');
  put(free2.substr(0, 5));
  put_char('.');
  put(free2.substr(5));
  put_char(digit2);
  put_char(' ');
  put(free3.substr(0, 5));
  put_char('.');
  put(free3.substr(5));
  put_char(digit3);
  put_char(' ');
  put_char(barcode_digit);
  put_char(' ');
  put(factor_and_amount);
  line.printed.assign(printed, sizeof printed);
  return out;
}

Result<std::string> RebuildBarcode(std::string_view printed_line) {
  if (printed_line.size() < kPrintedLength) {
    return Malformed("the printed line \"" + std::string(printed_line) + "\" is shorter than " +
                     std::to_string(kPrintedLength) + " characters");
  }
  // The eight pieces, as 1-based text positions.
  const std::string_view p1 = printed_line.substr(0, 5);    // 1-5: prefix, free field 1
  const std::string_view p2 = printed_line.substr(6, 5);    // 7-11: free field 2-5, digit
  const std::string_view p3 = printed_line.substr(12, 5);   // 13-17: free field 6-10
  const std::string_view p4 = printed_line.substr(18, 6);   // 19-24: free field 11-15, digit
  const std::string_view p5 = printed_line.substr(25, 5);   // 26-30: free field 16-20
  const std::string_view p6 = printed_line.substr(31, 6);   // 32-37: free field 21-25, digit
  const std::string_view p7 = printed_line.substr(38, 1);   // 39: barcode check digit
  const std::string_view p8 = printed_line.substr(40, 14);  // 41-54: factor and amount
  for (std::string_view piece : {p1, p2, p3, p4, p5, p6, p7, p8}) {
    if (!AllDigits(piece)) {
      return Malformed("the piece \"" + std::string(piece) + "\" of the printed line \"" +
                       std::string(printed_line) + "\" is not digits");
    }
  }
  std::string barcode;
  barcode.reserve(kBarcodeLength);
  barcode.append(p1.substr(0, 4)).append(p7).append(p8);
  barcode.append(p1.substr(4)).append(p2.substr(0, 4)).append(p3).append(p4.substr(0, 5));
  barcode.append(p5).append(p6.substr(0, 5));
  return barcode;
}

Status CheckPrintedLineLayout(std::string_view printed_line) {
  const std::string quoted = "\"" + std::string(printed_line) + "\"";
  if (printed_line.size() != kPrintedLength) {
    return MakeError(error_number::kMalformedBarcode,
                     "The digitable line " + quoted + " is not 54 characters long");
  }
  for (const auto& [position, separator] : kSeparators) {
    if (printed_line[position] != separator) {
      return MakeError(error_number::kMalformedBarcode,
                       "The digitable line " + quoted + " has no '" + std::string(1, separator) +
                           "' at position " + std::to_string(position + 1));
    }
  }
  return Status::Ok();
}

Result<std::string> BarcodeOfPrintedLine(std::string_view printed_line) {
  BOLETO_RETURN_IF_ERROR(CheckPrintedLineLayout(printed_line));
  return RebuildBarcode(printed_line);
}

}  // namespace boleto
