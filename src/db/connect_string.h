// Reading the parts of an ODBC connect string ("DRIVER=...;Key=value;
// Other={value; with semicolons}") the connection looks at, and the lock
// wait settings written in it or shown by the server. Pure text functions.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace boleto {

// Where the value of `key` stands in a connect string (keys compared
// without case): its first and one-past-last character, braces included;
// both npos when the key is absent.
struct ValuePlace {
  size_t begin = std::string_view::npos;
  size_t end = std::string_view::npos;
};
ValuePlace FindConnectValue(std::string_view connect, std::string_view key);

// Each "key=value" part of a connect string in its order: the key without
// the blanks around it, as written; where its value stands; the value with
// the braces around it removed.
struct ConnectPart {
  std::string_view name;
  ValuePlace value;
  std::string_view text;
};
std::vector<ConnectPart> ConnectParts(std::string_view connect);

// The value of `key` (braces around it removed); empty when absent.
std::string ConnectValue(std::string_view connect, std::string_view key);

// True when `key` has a value that is not empty.
bool HasConnectKey(std::string_view connect, std::string_view key);

// A whole number written in decimal digits alone (at most 12); nothing for
// other text.
std::optional<int64_t> DecimalDigitsValue(std::string_view text);

// PostgreSQL's lock_timeout as SHOW gives it ("300ms", "10s", "2min", "1h",
// "1d"; a bare number is milliseconds); nothing for any other text.
std::optional<std::chrono::milliseconds> LockTimeoutSetting(std::string_view shown);

}  // namespace boleto
