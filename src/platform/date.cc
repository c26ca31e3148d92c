#include "platform/date.h"

#include <ctime>

namespace boleto {

// Date's own year(), month() and day() hide the calendar types inside its
// members, hence the short aliases.
using std::chrono::sys_days;
using std::chrono::year_month_day;
using Y = std::chrono::year;
using M = std::chrono::month;
using D = std::chrono::day;

namespace {
// 30 December 1899: day zero of the date values the program has always kept.
constexpr year_month_day kZeroDate{Y{1899}, M{12}, D{30}};

std::string Pad(int value, int width) {
  std::string s = std::to_string(value < 0 ? -value : value);
  if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), '0');
  return s;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}
}  // namespace

Date::Date() : days_(sys_days(kZeroDate)) {}

std::optional<Date> Date::FromYmd(int y, int m, int d) {
  if (m < 1 || m > 12 || d < 1 || d > 31 || y < 1 || y > 9999) return std::nullopt;
  const year_month_day ymd{Y{y}, M{static_cast<unsigned>(m)}, D{static_cast<unsigned>(d)}};
  if (!ymd.ok()) return std::nullopt;
  return Date(sys_days(ymd));
}

Date Date::Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return *FromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::optional<Date> Date::ParseIso(std::string_view text) {
  // Skip leading blanks; the drivers return "YYYY-MM-DD" or "YYYY-MM-DD hh:mm:ss[.f]".
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (text.size() < 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  if (!AllDigits(text.substr(0, 4)) || !AllDigits(text.substr(5, 2)) ||
      !AllDigits(text.substr(8, 2))) {
    return std::nullopt;
  }
  if (text.size() > 10 && text[10] != ' ' && text[10] != 'T') return std::nullopt;
  // A time may follow, never an era: PostgreSQL writes "4713-01-01 BC" for
  // a date before the common era.
  if (text.substr(10).find_first_of("ABCDEFGHIJKLMNOPQRSUVWXYZabcdefghijklmnopqrsuvwxyz") !=
      std::string_view::npos) {
    return std::nullopt;
  }
  const int y = std::stoi(std::string(text.substr(0, 4)));
  const int m = std::stoi(std::string(text.substr(5, 2)));
  const int d = std::stoi(std::string(text.substr(8, 2)));
  return FromYmd(y, m, d);
}

std::optional<Date> Date::FromDigits(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!AllDigits(text)) return std::nullopt;
  // As a number the leading zeros go; the mask "##/##/####" then fills from
  // the right: four digits of year, two of month, the rest is the day.
  while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
  if (text.size() < 7 || text.size() > 8) return std::nullopt;
  const size_t day_len = text.size() - 6;
  const int d = std::stoi(std::string(text.substr(0, day_len)));
  const int m = std::stoi(std::string(text.substr(day_len, 2)));
  const int y = std::stoi(std::string(text.substr(day_len + 2, 4)));
  return FromYmd(y, m, d);
}

int Date::year() const { return static_cast<int>(year_month_day(days_).year()); }
int Date::month() const { return static_cast<int>(static_cast<unsigned>(year_month_day(days_).month())); }
int Date::day() const { return static_cast<int>(static_cast<unsigned>(year_month_day(days_).day())); }

int Date::DayOfYear() const {
  const sys_days first = sys_days(year_month_day{year_month_day(days_).year(), M{1}, D{1}});
  return static_cast<int>((days_ - first).count()) + 1;
}

bool Date::is_zero() const { return days_ == sys_days(kZeroDate); }

Date Date::AddDays(int64_t days) const { return Date(days_ + std::chrono::days(days)); }

int64_t Date::DaysSince(const Date& other) const { return (days_ - other.days_).count(); }

std::string Date::Format(std::string_view mask) const {
  std::string out;
  for (size_t i = 0; i < mask.size();) {
    const std::string_view rest = mask.substr(i);
    if (rest.starts_with("YYYY")) {
      out += Pad(year(), 4);
      i += 4;
    } else if (rest.starts_with("YY")) {
      out += Pad(year() % 100, 2);
      i += 2;
    } else if (rest.starts_with("MM")) {
      out += Pad(month(), 2);
      i += 2;
    } else if (rest.starts_with("DD")) {
      out += Pad(day(), 2);
      i += 2;
    } else {
      out += mask[i++];
    }
  }
  return out;
}

std::string NowTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return Pad(local.tm_hour, 2) + ":" + Pad(local.tm_min, 2) + ":" + Pad(local.tm_sec, 2);
}

}  // namespace boleto
