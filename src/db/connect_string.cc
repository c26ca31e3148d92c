#include "db/connect_string.h"

#include <strings.h>

namespace boleto {

ValuePlace FindConnectValue(std::string_view connect, std::string_view key) {
  size_t pos = 0;
  while (pos < connect.size()) {
    size_t eq = connect.find('=', pos);
    if (eq == std::string_view::npos) break;
    std::string_view name = connect.substr(pos, eq - pos);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    size_t end;        // of the key's part of the string
    size_t value_end;  // of its value
    if (eq + 1 < connect.size() && connect[eq + 1] == '{') {
      const size_t close = connect.find('}', eq + 2);
      value_end = close == std::string_view::npos ? connect.size() : close + 1;
      end = close == std::string_view::npos ? close : connect.find(';', close);
    } else {
      end = connect.find(';', eq + 1);
      value_end = end == std::string_view::npos ? connect.size() : end;
    }
    if (name.size() == key.size() && strncasecmp(name.data(), key.data(), key.size()) == 0) {
      return {eq + 1, value_end};
    }
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return {};
}

std::string ConnectValue(std::string_view connect, std::string_view key) {
  const ValuePlace place = FindConnectValue(connect, key);
  if (place.begin == std::string_view::npos) return "";
  std::string_view value = connect.substr(place.begin, place.end - place.begin);
  if (!value.empty() && value.front() == '{') {
    value.remove_prefix(1);
    if (!value.empty() && value.back() == '}') value.remove_suffix(1);
  }
  return std::string(value);
}

bool HasConnectKey(std::string_view connect, std::string_view key) {
  return !ConnectValue(connect, key).empty();
}

std::optional<int64_t> DecimalDigitsValue(std::string_view text) {
  constexpr size_t kMaxDigits = 12;  // far beyond any wait in milliseconds
  if (text.empty() || text.size() > kMaxDigits ||
      text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  return std::stoll(std::string(text));
}

std::optional<std::chrono::milliseconds> LockTimeoutSetting(std::string_view shown) {
  const size_t unit_at = shown.find_first_not_of("0123456789");
  const std::optional<int64_t> number = DecimalDigitsValue(shown.substr(0, unit_at));
  if (!number) return std::nullopt;
  const std::string_view unit = unit_at == std::string_view::npos ? "" : shown.substr(unit_at);
  constexpr int64_t kMsPerSecond = 1000, kMsPerMinute = 60 * kMsPerSecond,
                    kMsPerHour = 60 * kMsPerMinute, kMsPerDay = 24 * kMsPerHour;
  const struct {
    std::string_view unit;
    int64_t ms;
  } units[] = {{"", 1},           {"ms", 1},       {"s", kMsPerSecond}, {"min", kMsPerMinute},
               {"h", kMsPerHour}, {"d", kMsPerDay}};
  for (const auto& u : units) {
    if (unit == u.unit) return std::chrono::milliseconds(*number * u.ms);
  }
  return std::nullopt;
}

}  // namespace boleto
