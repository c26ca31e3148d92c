// Money as fixed-point currency with four decimals: a 64-bit count of
// ten-thousandths, never a double. Amounts read from the database, the
// percentages of the boleto and every printed value go through this type.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace boleto {

class Currency {
 public:
  static constexpr int64_t kScale = 10000;  // four decimal places

  constexpr Currency() = default;
  static constexpr Currency FromRaw(int64_t ten_thousandths) { return Currency(ten_thousandths); }
  static constexpr Currency FromCents(int64_t cents) { return Currency(cents * 100); }
  static constexpr Currency FromUnits(int64_t units) { return Currency(units * kScale); }

  // The stored count of ten-thousandths.
  constexpr int64_t raw() const { return raw_; }
  constexpr bool is_zero() const { return raw_ == 0; }

  friend constexpr Currency operator+(Currency a, Currency b) { return Currency(a.raw_ + b.raw_); }
  friend constexpr Currency operator-(Currency a, Currency b) { return Currency(a.raw_ - b.raw_); }
  friend constexpr Currency operator-(Currency a) { return Currency(-a.raw_); }
  friend constexpr auto operator<=>(Currency, Currency) = default;

 private:
  constexpr explicit Currency(int64_t raw) : raw_(raw) {}
  int64_t raw_ = 0;
};

// a + b and a - b, or nothing when the result leaves the 64-bit range.
std::optional<Currency> CheckedAdd(Currency a, Currency b);
std::optional<Currency> CheckedSub(Currency a, Currency b);

// percent × base / 100 brought back to four decimals, ties to even
// (a 2 % discount of 905,00 is 18,10). Nothing on overflow.
std::optional<Currency> PercentOf(Currency percent, Currency base);

// The value in whole cents, rounded half away from zero as FormatMoney
// rounds it (2.336,4250 gives 2.336,43); nothing on overflow.
std::optional<Currency> RoundedToCents(Currency value);

// The value with the mask "#,###,##0.00" in the program's conventions:
// dot thousands, comma decimals, rounded half away from zero at the cent
// ("1.234,56", "0,00", "-5,10").
std::string FormatMoney(Currency value);

// The value as plain decimal text with a dot and exactly `decimals` places
// (0 to 4), rounded half away from zero, no thousands mark ("1234.50").
std::string PlainDecimal(Currency value, int decimals);

}  // namespace boleto
