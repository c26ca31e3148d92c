// Calendar dates as the program passes them around: read from the drivers'
// ISO texts, from "DDMMYYYY" digit texts (day first, the program's
// convention), written with the program's masks. The default Date is the
// zero date, 30/12/1899, that an unset date value has always held.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace boleto {

class Date {
 public:
  Date();  // the zero date, 30/12/1899

  // A valid calendar date, or nothing.
  static std::optional<Date> FromYmd(int year, int month, int day);
  // The local clock's today.
  static Date Today();

  // "YYYY-MM-DD", optionally followed by a time, as the ODBC drivers return
  // date and timestamp columns; nothing for a date of another era
  // ("4713-01-01 BC").
  static std::optional<Date> ParseIso(std::string_view text);
  // A digit text of the form DDMMYYYY read the way the program always read
  // it: as a number put through the mask "##/##/####" and read back day
  // first, so "06122026" and "6122026" are both 6 December 2026. Nothing for
  // a text that is not digits or not a valid date.
  static std::optional<Date> FromDigits(std::string_view ddmmyyyy);

  int year() const;
  int month() const;
  int day() const;
  int DayOfYear() const;  // 1 to 366
  bool is_zero() const;

  Date AddDays(int64_t days) const;
  // Days from `other` to this date (negative when this date is earlier).
  int64_t DaysSince(const Date& other) const;

  // The date written with a mask whose tokens are DD, MM, YYYY and YY; every
  // other character is copied: "DD/MM/YYYY", "DDMMYYYY", "DDMMYY",
  // "MM/DD/YYYY", "YYYY/MM/DD", "YYYY-MM-DD".
  std::string Format(std::string_view mask) const;

  friend bool operator==(const Date&, const Date&) = default;
  friend auto operator<=>(const Date& a, const Date& b) { return a.days_ <=> b.days_; }

 private:
  explicit Date(std::chrono::sys_days days) : days_(days) {}
  std::chrono::sys_days days_;
};

// The local clock's time of day written "HH:MM:SS".
std::string NowTimeText();

}  // namespace boleto
