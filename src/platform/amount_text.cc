#include "platform/amount_text.h"

#include <strings.h>

#include <limits>

namespace boleto {
namespace {

constexpr int kScaleDigits = 4;  // Currency keeps four decimal places
// SQL decimal texts live in a 13-character field: ten integer digits, the
// decimal mark and two decimals.
constexpr size_t kDecimalFieldWidth = 13;
constexpr size_t kDecimalMarkPosition = 10;  // 0-based: the field's 11th character

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Only the blank itself: a tab or a line break around a decimal text is a
// character that no amount holds.
std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

Error TypeMismatch(std::string_view text) {
  return MakeError(error_number::kTypeMismatch,
                   "Type mismatch: \"" + std::string(text) + "\" is not an amount");
}

Error Overflow(std::string_view text) {
  return MakeError(error_number::kOverflow,
                   "Overflow: \"" + std::string(text) + "\" is too large for an amount");
}

// The digits `digits` with the decimal point moved so that the value is
// digits × 10^exponent, as ten-thousandths rounded half to even (the way
// currency conversion has always rounded). Nothing when it does not fit.
std::optional<int64_t> DigitsToRaw(bool negative, std::string_view digits, int64_t exponent) {
  while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
  if (digits.empty()) return 0;
  const int64_t shift = exponent + kScaleDigits;
  std::string_view kept = digits;
  bool round_up = false;
  if (shift < 0) {
    const int64_t dropped = -shift;
    if (dropped > static_cast<int64_t>(digits.size())) return 0;
    kept = digits.substr(0, digits.size() - dropped);
    const std::string_view tail = digits.substr(kept.size());
    const char first = tail.front();
    bool rest_nonzero = false;
    for (char c : tail.substr(1)) rest_nonzero |= c != '0';
    const bool last_odd = !kept.empty() && (kept.back() - '0') % 2 == 1;
    round_up = first > '5' || (first == '5' && (rest_nonzero || last_odd));
  } else if (shift + static_cast<int64_t>(digits.size()) > 20) {
    return std::nullopt;  // more than 19 digits of ten-thousandths cannot fit
  }
  constexpr __int128 kLimit = static_cast<__int128>(std::numeric_limits<int64_t>::max()) + 1;
  __int128 value = 0;
  for (char c : kept) {
    value = value * 10 + (c - '0');
    if (value > kLimit) return std::nullopt;
  }
  for (int64_t i = 0; i < shift; ++i) {
    value *= 10;
    if (value > kLimit) return std::nullopt;
  }
  if (round_up) ++value;
  if (negative) value = -value;
  if (value > std::numeric_limits<int64_t>::max() || value < std::numeric_limits<int64_t>::min()) {
    return std::nullopt;
  }
  return static_cast<int64_t>(value);
}

// The locale-independent number reader: blanks are skipped anywhere; an
// optional sign, digits, an optional "." and decimals, an optional exponent
// (E or D); reading stops at the first character that cannot continue the
// number, and a text without digits is 0.
Result<Currency> ReadNumberLiteral(std::string_view text) {
  std::string compact;
  for (char c : text) {
    if (!IsBlank(c)) compact += c;
  }
  size_t i = 0;
  bool negative = false;
  if (i < compact.size() && (compact[i] == '+' || compact[i] == '-')) {
    negative = compact[i] == '-';
    ++i;
  }
  // A floating-point column holding infinity or NaN ("inf", "Infinity",
  // "NaN" as the drivers write them) has no amount at all, not zero.
  const std::string_view rest = std::string_view(compact).substr(i);
  if (rest.size() >= 3 &&
      (strncasecmp(rest.data(), "inf", 3) == 0 || strncasecmp(rest.data(), "nan", 3) == 0)) {
    return TypeMismatch(text);
  }
  std::string digits;
  int64_t exponent = 0;
  while (i < compact.size() && IsDigit(compact[i])) digits += compact[i++];
  if (i < compact.size() && compact[i] == '.') {
    ++i;
    while (i < compact.size() && IsDigit(compact[i])) {
      digits += compact[i++];
      --exponent;
    }
  }
  if (i < compact.size() &&
      (compact[i] == 'E' || compact[i] == 'e' || compact[i] == 'D' || compact[i] == 'd')) {
    size_t j = i + 1;
    bool exp_negative = false;
    if (j < compact.size() && (compact[j] == '+' || compact[j] == '-')) {
      exp_negative = compact[j] == '-';
      ++j;
    }
    int64_t written = 0;
    bool any = false;
    while (j < compact.size() && IsDigit(compact[j])) {
      // Beyond a few hundred the value is either zero or too large anyway.
      if (written < 100000) written = written * 10 + (compact[j] - '0');
      any = true;
      ++j;
    }
    if (any) exponent += exp_negative ? -written : written;
  }
  const std::optional<int64_t> raw = DigitsToRaw(negative, digits, exponent);
  if (!raw) return Overflow(text);
  return Currency::FromRaw(*raw);
}

// The program's own conventions: comma decimal mark, dot thousands mark in
// groups of three, surrounding blanks and a leading sign allowed. A text that
// does not follow them is no number (a misplaced dot is never taken as a
// thousands mark, so a dot-decimal text is refused rather than misread).
Result<Currency> ReadLocaleAmount(std::string_view text) {
  const std::string_view t = TrimBlanks(text);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
  }
  std::string digits;
  size_t group = 0;  // digits in the current thousands group
  bool grouped = false;
  bool any_digit = false;
  for (; i < t.size() && t[i] != ','; ++i) {
    if (IsDigit(t[i])) {
      digits += t[i];
      ++group;
      any_digit = true;
      if (grouped && group > 3) return TypeMismatch(text);
    } else if (t[i] == '.') {
      const bool first_group_ok = !grouped && group >= 1 && group <= 3;
      if (!first_group_ok && !(grouped && group == 3)) return TypeMismatch(text);
      grouped = true;
      group = 0;
    } else {
      return TypeMismatch(text);
    }
  }
  if (grouped && group != 3) return TypeMismatch(text);
  int64_t exponent = 0;
  if (i < t.size()) {  // the decimal comma
    for (++i; i < t.size(); ++i) {
      if (!IsDigit(t[i])) return TypeMismatch(text);
      digits += t[i];
      any_digit = true;
      --exponent;
    }
  }
  if (!any_digit) return TypeMismatch(text);
  const std::optional<int64_t> raw = DigitsToRaw(negative, digits, exponent);
  if (!raw) return Overflow(text);
  return Currency::FromRaw(*raw);
}

// An amount written the way the program converts one to text: comma decimal
// mark, no thousands mark, no trailing zeros ("1234,5", "0", "-5").
std::string CurrencyText(Currency value) {
  const int64_t raw = value.raw();
  const uint64_t magnitude = raw < 0 ? 0 - static_cast<uint64_t>(raw) : static_cast<uint64_t>(raw);
  std::string text = raw < 0 ? "-" : "";
  text += std::to_string(magnitude / Currency::kScale);
  uint64_t fraction = magnitude % Currency::kScale;
  if (fraction != 0) {
    std::string decimals = std::to_string(fraction);
    decimals.insert(0, kScaleDigits - decimals.size(), '0');
    while (decimals.back() == '0') decimals.pop_back();
    text += "," + decimals;
  }
  return text;
}

// A number as the drivers write one, blanks around it: an optional sign,
// digits with an optional "." and decimals (at least one digit), an optional
// exponent (E, an optional sign, digits).
bool IsNumberLiteral(std::string_view text) {
  const std::string_view t = TrimSpaces(text);
  size_t i = 0;
  const auto digits = [&t, &i] {
    const size_t start = i;
    while (i < t.size() && IsDigit(t[i])) ++i;
    return i - start;
  };
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t mantissa = digits();
  if (i < t.size() && t[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < t.size() && (t[i] == 'E' || t[i] == 'e')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  return i == t.size();
}

}  // namespace

Result<Currency> ParseStoredAmount(std::string_view text, std::string_view decimal_mark) {
  if (!IsNumberLiteral(text)) return TypeMismatch(text);
  return ParseAmount(text, decimal_mark);
}

Result<Currency> ParseAmount(std::string_view text, std::string_view decimal_mark) {
  // Plain digit texts (codes, numbers) read the same in every branch.
  constexpr size_t kSafeDigits = 14;  // below 10^14 units the raw count cannot overflow
  if (!text.empty() && text.size() <= kSafeDigits) {
    int64_t units = 0;
    bool digits = true;
    for (char c : text) {
      digits &= IsDigit(c);
      units = units * 10 + (c - '0');
    }
    if (digits) return Currency::FromUnits(units);
  }
  if (decimal_mark != ".") return ReadLocaleAmount(text);
  const size_t separator = text.find_last_of(".,");
  if (separator != std::string_view::npos && text[separator] == ',') {
    return ReadLocaleAmount(text);
  }
  return ReadNumberLiteral(text);
}

Result<std::string> SqlDecimalText(std::string_view text, std::string_view decimal_mark) {
  std::string t(TrimSpaces(text));
  if (t.empty() || t.find_first_not_of("0123456789,.") != std::string::npos) t = "0.00";
  const size_t dot = t.find('.');
  if (dot != std::string::npos) {
    // A dot-decimal text: give it two decimals, then put the comma where the
    // field keeps its decimal mark. A text with more decimals no longer reads
    // as a number below; one too long for the field is refused rather than
    // cut on the left.
    if (t.size() - dot - 1 == 1) t += '0';
    if (t.size() > kDecimalFieldWidth) return Overflow(text);
    t.insert(0, kDecimalFieldWidth - t.size(), ' ');
    t[kDecimalMarkPosition] = ',';
  }
  const Result<Currency> value = ReadLocaleAmount(t);
  if (!value.ok()) {
    return value.error().number == error_number::kOverflow ? Overflow(text) : TypeMismatch(text);
  }
  if (*value < Currency()) return std::string(decimal_mark == "." ? "0.00" : "0,00");
  std::string out = PlainDecimal(*value, 2);
  if (out.size() > kDecimalFieldWidth) return Overflow(text);
  if (decimal_mark != ".") out[out.size() - 3] = ',';
  return out;
}

Result<std::string> SqlDecimalText(Currency value, std::string_view decimal_mark) {
  return SqlDecimalText(CurrencyText(value), decimal_mark);
}

int16_t TextPosition(std::string_view needle, std::string_view haystack) {
  constexpr size_t kLastPosition = std::numeric_limits<int16_t>::max();
  const size_t at = haystack.find(needle);
  if (at == std::string_view::npos || at >= kLastPosition) return 0;
  return static_cast<int16_t>(at + 1);
}

}  // namespace boleto
