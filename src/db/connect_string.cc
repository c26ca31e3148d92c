#include "db/connect_string.h"

#include <strings.h>

namespace boleto {

std::vector<ConnectPart> ConnectParts(std::string_view connect) {
  std::vector<ConnectPart> parts;
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
    std::string_view text = connect.substr(eq + 1, value_end - (eq + 1));
    if (!text.empty() && text.front() == '{') {
      text.remove_prefix(1);
      if (!text.empty() && text.back() == '}') text.remove_suffix(1);
    }
    parts.push_back({name, {eq + 1, value_end}, text});
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return parts;
}

namespace {

// The first part of `key` (compared without case), if any.
std::optional<ConnectPart> FindPart(std::string_view connect, std::string_view key) {
  for (const ConnectPart& part : ConnectParts(connect)) {
    if (part.name.size() == key.size() &&
        strncasecmp(part.name.data(), key.data(), key.size()) == 0) {
      return part;
    }
  }
  return std::nullopt;
}

}  // namespace

ValuePlace FindConnectValue(std::string_view connect, std::string_view key) {
  const std::optional<ConnectPart> part = FindPart(connect, key);
  return part ? part->value : ValuePlace{};
}

std::string ConnectValue(std::string_view connect, std::string_view key) {
  const std::optional<ConnectPart> part = FindPart(connect, key);
  return part ? std::string(part->text) : "";
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
