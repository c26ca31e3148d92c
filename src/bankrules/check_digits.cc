#include "bankrules/check_digits.h"

#include <array>
#include <cstdint>

#include "bankrules/digit_text.h"

namespace boleto {
namespace {

// How the remainder R = S mod 11 becomes the digit.
enum class Rule {
  kA,  // R 0 or 1: "0"; else 11 - R
  kD,  // R 0, 1 or 10: "0"; else 11 - R (R 1 would be "10", too wide for the number)
  kE,  // R 0: "0"; R 1: "1"; else 11 - R
  kF,  // R 0: "0"; R 1: "P"; R 10: "1"; else 11 - R
  kG,  // R 0 or 10: "0"; else R itself
  kS,  // 11 - R, with 10, 11 and 1 all becoming "1": the barcode digit is never "0"
};

constexpr size_t kMaxWeights = 43;

struct Method {
  std::string_view name;
  Rule rule;
  size_t length;
  std::array<uint8_t, kMaxWeights> weights;  // position 1 first
};

// Weights listed from the leftmost position. Seen from the right they run
// 2, 3, ... up to 7 or 9 and start again, except "N9" (9 down to 2).
constexpr Method kMethods[] = {
    {"A", Rule::kA, 4, {5, 4, 3, 2}},
    {"B", Rule::kA, 3, {4, 3, 2}},
    {"C", Rule::kA, 7, {2, 7, 6, 5, 4, 3, 2}},
    {"N", Rule::kD, 14, {7, 6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}},
    {"N2", Rule::kE, 24, {7, 6, 5, 4, 3, 2, 7, 6, 5, 4, 3, 2, 7, 6, 5, 4, 3, 2, 7, 6, 5, 4, 3, 2}},
    {"N3", Rule::kA, 10, {3, 2, 9, 8, 7, 6, 5, 4, 3, 2}},
    {"N4", Rule::kA, 6, {7, 6, 5, 4, 3, 2}},
    {"N5", Rule::kA, 24, {9, 8, 7, 6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}},
    {"N6", Rule::kA, 17, {2, 9, 8, 7, 6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}},
    {"N7", Rule::kF, 13, {2, 7, 6, 5, 4, 3, 2, 7, 6, 5, 4, 3, 2}},
    {"N8", Rule::kA, 10, {5, 4, 3, 2, 7, 6, 5, 4, 3, 2}},
    {"N9", Rule::kG, 13, {5, 6, 7, 8, 9, 2, 3, 4, 5, 6, 7, 8, 9}},
    {"N10", Rule::kA, 12, {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}},
    {"S", Rule::kS, 43, {4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2, 9, 8, 7,
                         6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}},
};

// The table's position of each name: "A", "B", "C", "N", then "N2" to "N9",
// "N10" and "S".
constexpr size_t kFirstNumbered = 4;  // "N2"
constexpr size_t kN10 = 12;
constexpr size_t kS = 13;
static_assert(kMethods[0].name == "A" && kMethods[1].name == "B" && kMethods[2].name == "C" &&
              kMethods[3].name == "N" && kMethods[kFirstNumbered].name == "N2" &&
              kMethods[kFirstNumbered + 7].name == "N9" && kMethods[kN10].name == "N10" &&
              kMethods[kS].name == "S");

const Method* FindMethod(std::string_view name) {
  if (name.size() == 1) {
    switch (name[0]) {
      case 'A':
        return &kMethods[0];
      case 'B':
        return &kMethods[1];
      case 'C':
        return &kMethods[2];
      case 'N':
        return &kMethods[3];
      case 'S':
        return &kMethods[kS];
    }
    return nullptr;
  }
  if (name.size() == 2 && name[0] == 'N' && name[1] >= '2' && name[1] <= '9') {
    return &kMethods[kFirstNumbered + (name[1] - '2')];
  }
  return name == "N10" ? &kMethods[kN10] : nullptr;
}

std::string DigitText(int digit) { return std::string(1, static_cast<char>('0' + digit)); }
char DigitChar(int digit) { return static_cast<char>('0' + digit); }

char ApplyRule(Rule rule, int r) {
  switch (rule) {
    case Rule::kA:
      return DigitChar(r <= 1 ? 0 : 11 - r);
    case Rule::kD:
      return DigitChar(r <= 1 || r == 10 ? 0 : 11 - r);
    case Rule::kE:
      return DigitChar(r == 0 ? 0 : r == 1 ? 1 : 11 - r);
    case Rule::kF:
      if (r == 1) return 'P';
      return DigitChar(r == 0 ? 0 : r == 10 ? 1 : 11 - r);
    case Rule::kG:
      return DigitChar(r == 10 ? 0 : r);
    case Rule::kS: {
      const int d = 11 - r;
      return DigitChar(d == 10 || d == 11 || d == 1 ? 1 : d);
    }
  }
  return '0';
}

int DigitValue(char c) { return c >= '0' && c <= '9' ? c - '0' : 0; }

// The modulus-10 sum digit of `digits`, weights 2,1,... from the right.
char Modulo10Char(std::string_view digits) {
  // A doubled digit above 9 counts the sum of its two digits (10..18 as 1..9).
  static constexpr int kDoubled[10] = {0, 2, 4, 6, 8, 1, 3, 5, 7, 9};
  int sum = 0;
  size_t i = digits.size();
  for (; i >= 2; i -= 2) {  // weight 2 on the rightmost digit, 1 on its neighbour
    sum += kDoubled[DigitValue(digits[i - 1])] + DigitValue(digits[i - 2]);
  }
  if (i == 1) sum += kDoubled[DigitValue(digits[0])];
  return DigitChar(sum % 10 == 0 ? 0 : 10 - sum % 10);
}

std::string Modulo10(std::string_view digits) { return std::string(1, Modulo10Char(digits)); }

// Modulus 11 of `digits` zero-padded to N (rightmost N kept), remainder 0 or 1
// giving 0. The padding zeros add nothing, so the weights are only lined up
// from the right.
template <size_t N>
std::string PaddedModulo11(std::string_view digits, const std::array<uint8_t, N>& weights) {
  if (digits.size() > N) digits = digits.substr(digits.size() - N);
  const size_t offset = N - digits.size();
  int sum = 0;
  for (size_t i = 0; i < digits.size(); ++i) sum += DigitValue(digits[i]) * weights[offset + i];
  const int r = sum % 11;
  return DigitText(r <= 1 ? 0 : 11 - r);
}

}  // namespace

Result<char> CheckDigitCharByMethod(std::string_view method, std::string_view digits) {
  const Method* m = FindMethod(method);
  if (m == nullptr) return '\0';
  if (digits.size() != m->length || !bankrules::AllDigits(digits)) {
    return MakeError(error_number::kTypeMismatch,
                     "Check digit \"" + std::string(method) + "\" needs exactly " +
                         std::to_string(m->length) + " digits, got \"" + std::string(digits) +
                         "\"");
  }
  int sum = 0;
  for (size_t i = 0; i < m->length; ++i) sum += (digits[i] - '0') * m->weights[i];
  return ApplyRule(m->rule, sum % 11);
}

Result<std::string> CheckDigitByMethod(std::string_view method, std::string_view digits) {
  const Result<char> digit = CheckDigitCharByMethod(method, digits);
  if (!digit.ok()) return digit.error();
  return *digit == '\0' ? std::string() : std::string(1, *digit);
}

std::string Modulo10CheckDigit(std::string_view method, std::string_view digits) {
  if (method != "P5" && method != "P11") return "0";
  return Modulo10(digits);
}

char Modulo10CheckDigitChar(std::string_view digits) {
  // Modulo10Char without its guard against non-digits, which the callers
  // have already refused.
  static constexpr int kDoubled[10] = {0, 2, 4, 6, 8, 1, 3, 5, 7, 9};
  int sum = 0;
  size_t i = digits.size();
  for (; i >= 2; i -= 2) sum += kDoubled[digits[i - 1] - '0'] + (digits[i - 2] - '0');
  if (i == 1) sum += kDoubled[digits[0] - '0'];
  return DigitChar(sum % 10 == 0 ? 0 : 10 - sum % 10);
}

std::string NumericModulo10CheckDigit(std::string_view digits) {
  if (!IsNumericText(digits)) return "0";
  return Modulo10(digits);
}

std::string PaddedModulo11CheckDigit(std::string_view method, std::string_view digits) {
  static constexpr std::array<uint8_t, 21> kCb = {3, 1, 9, 7, 3, 1, 9, 7, 3, 1, 9,
                                                  7, 3, 1, 9, 7, 3, 1, 9, 7, 3};
  static constexpr std::array<uint8_t, 11> kEd = {4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  if (!IsNumericText(digits)) return "0";
  return method == "CB" ? PaddedModulo11(digits, kCb) : PaddedModulo11(digits, kEd);
}

std::string PaddedKeyCheckDigit(std::string_view method, std::string_view digits) {
  static constexpr std::array<uint8_t, 8> kEd1 = {9, 8, 7, 6, 5, 4, 3, 2};
  static constexpr std::array<uint8_t, 9> kEd2 = {10, 9, 8, 7, 6, 5, 4, 3, 2};
  constexpr size_t kKeyLength = 23;
  if (!IsNumericText(digits)) return "0";
  if (method == "CB") {
    // Weights 2,1 from the left over an odd length are 2,1 from the right, and
    // the padding zeros add nothing.
    if (digits.size() > kKeyLength) digits = digits.substr(digits.size() - kKeyLength);
    return Modulo10(digits);
  }
  return method == "ED1" ? PaddedModulo11(digits, kEd1) : PaddedModulo11(digits, kEd2);
}

bool IsNumericText(std::string_view text) {
  text = bankrules::Trim(text);
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  bool any_digit = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      any_digit = true;
    } else if (c != '.' && c != ',') {
      return false;
    }
  }
  return any_digit;
}

}  // namespace boleto
