#include "platform/currency.h"

#include <cstdlib>

namespace boleto {

std::optional<Currency> CheckedAdd(Currency a, Currency b) {
  int64_t sum;
  if (__builtin_add_overflow(a.raw(), b.raw(), &sum)) return std::nullopt;
  return Currency::FromRaw(sum);
}

std::optional<Currency> CheckedSub(Currency a, Currency b) {
  int64_t diff;
  if (__builtin_sub_overflow(a.raw(), b.raw(), &diff)) return std::nullopt;
  return Currency::FromRaw(diff);
}

std::optional<Currency> PercentOf(Currency percent, Currency base) {
  // raw(p) * raw(b) is the product in units of 10^-8; dividing by 100 for the
  // percentage and by 10^4 to come back to ten-thousandths leaves 10^6.
  constexpr __int128 kDivisor = 100 * Currency::kScale;
  const __int128 product = static_cast<__int128>(percent.raw()) * base.raw();
  __int128 quotient = product / kDivisor;
  const __int128 remainder = product % kDivisor;
  const __int128 twice = (remainder < 0 ? -remainder : remainder) * 2;
  if (twice > kDivisor || (twice == kDivisor && (quotient % 2 != 0))) {
    quotient += product < 0 ? -1 : 1;
  }
  if (quotient > INT64_MAX || quotient < INT64_MIN) return std::nullopt;
  return Currency::FromRaw(static_cast<int64_t>(quotient));
}

namespace {

// |value| rounded half away from zero to `decimals` places, as whole units
// and a fraction of exactly `decimals` digits.
struct Rounded {
  bool negative;
  uint64_t units;
  uint64_t fraction;
};

Rounded RoundAway(Currency value, int decimals) {
  static constexpr uint64_t kPow10[] = {1, 10, 100, 1000, 10000};
  const bool negative = value.raw() < 0;
  uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(value.raw()) : static_cast<uint64_t>(value.raw());
  const uint64_t step = kPow10[4 - decimals];  // ten-thousandths per kept digit
  uint64_t kept = magnitude / step;
  if ((magnitude % step) * 2 >= step) ++kept;
  const uint64_t per_unit = kPow10[decimals];
  return Rounded{negative && kept != 0, kept / per_unit, kept % per_unit};
}

std::string Digits(uint64_t n, int width) {
  std::string s = std::to_string(n);
  if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), '0');
  return s;
}

}  // namespace

std::optional<Currency> RoundedToCents(Currency value) {
  const Rounded r = RoundAway(value, 2);
  const __int128 cents = static_cast<__int128>(r.units) * 100 + r.fraction;
  const __int128 raw = cents * (Currency::kScale / 100) * (r.negative ? -1 : 1);
  if (raw > INT64_MAX || raw < INT64_MIN) return std::nullopt;
  return Currency::FromRaw(static_cast<int64_t>(raw));
}

std::string FormatMoney(Currency value) {
  const Rounded r = RoundAway(value, 2);
  std::string units = std::to_string(r.units);
  std::string grouped;
  const int n = static_cast<int>(units.size());
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) grouped += '.';
    grouped += units[i];
  }
  return (r.negative ? "-" : "") + grouped + "," + Digits(r.fraction, 2);
}

std::string PlainDecimal(Currency value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 4) decimals = 4;
  const Rounded r = RoundAway(value, decimals);
  std::string text = (r.negative ? "-" : "") + std::to_string(r.units);
  if (decimals > 0) text += "." + Digits(r.fraction, decimals);
  return text;
}

}  // namespace boleto
