#include "bankrules/digit_text.h"

#include <cstdint>
#include <cstring>

#include "platform/date.h"

namespace boleto::bankrules {

std::string Pad(std::string_view text, size_t width) {
  std::string out(width, '0');
  const size_t kept = text.size() < width ? text.size() : width;
  CopyChars(text.substr(text.size() - kept), out.data() + (width - kept));
  return out;
}

std::string_view Mid(std::string_view text, size_t first, size_t count) {
  if (first == 0 || first > text.size()) return {};
  return text.substr(first - 1, count);
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  // Eight characters at a time: every byte must have the high nibble 3 and a
  // low nibble that does not carry when 6 is added (0-9).
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull;
  constexpr uint64_t kThree = 0x3030303030303030ull;
  constexpr uint64_t kSix = 0x0606060606060606ull;
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t x;
    std::memcpy(&x, text.data() + i, 8);
    if ((x & kHigh) != kThree || ((x + kSix) & kHigh) != kThree) return false;
  }
  for (; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i] - '0') > 9) return false;
  }
  return true;
}

std::optional<std::chrono::sys_days> DueDateDays(std::string_view text) {
  using namespace std::chrono;
  if (text.size() == 8 && AllDigits(text)) {
    auto two = [&](size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
    const year_month_day ymd{year{two(4) * 100 + two(6)}, month{static_cast<unsigned>(two(2))},
                             day{static_cast<unsigned>(two(0))}};
    // Years before 1 are no dates for the program.
    if (!ymd.ok() || ymd.year() < year{1}) return std::nullopt;
    return sys_days(ymd);
  }
  const std::optional<Date> date = Date::FromDigits(text);
  if (!date) return std::nullopt;
  constexpr sys_days kZeroDate{year{1899} / 12 / 30};  // Date() is this day
  return kZeroDate + days(date->DaysSince(Date()));
}

}  // namespace boleto::bankrules
