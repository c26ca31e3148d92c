#include "db/odbc_errors.h"

#include <strings.h>

#include <algorithm>
#include <vector>

namespace boleto {
namespace {

// One diagnostic record of an ODBC handle.
struct Diagnostic {
  std::string state;
  SQLINTEGER native = 0;
  std::string message;
};

// Every diagnostic record of `handle`, in the driver's order.
std::vector<Diagnostic> ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<Diagnostic> records;
  if (handle == SQL_NULL_HANDLE) return records;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    std::vector<SQLCHAR> text(1024);
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRec(type, handle, i, state, &native, text.data(),
                                 static_cast<SQLSMALLINT>(text.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
      text.resize(static_cast<size_t>(length) + 1);
      rc = SQLGetDiagRec(type, handle, i, state, &native, text.data(),
                         static_cast<SQLSMALLINT>(text.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    Diagnostic d;
    d.state = reinterpret_cast<const char*>(state);
    d.native = native;
    d.message = reinterpret_cast<const char*>(text.data());
    records.push_back(std::move(d));
  }
  return records;
}

// Message texts one after the other on one line: the error report shows the
// description on a line of its own.
std::string JoinMessages(const std::vector<Diagnostic>& records) {
  std::string joined;
  for (const Diagnostic& d : records) {
    std::string text = d.message;
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\t', ' ');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (text.empty()) continue;
    if (!joined.empty()) joined += ' ';
    joined += text;
  }
  return joined;
}

// A conflict with a lock held by another connection. SQLite reports
// SQLITE_BUSY (5) or SQLITE_LOCKED (6) as the native error with the text
// "database is locked" / "database table is locked"; PostgreSQL has the
// SQLSTATEs 55P03 (lock not available) and 40P01 (deadlock detected).
bool IsLockConflict(const std::vector<Diagnostic>& records, bool sqlite) {
  for (const Diagnostic& d : records) {
    if (d.state == "55P03" || d.state == "40P01") return true;
    if (sqlite && (d.native == 5 || d.native == 6)) return true;
    if (sqlite && ContainsNoCase(d.message, "is locked")) return true;
  }
  return false;
}

// Numbers that callers treat as something other than a plain failure, so a
// driver's native number must never pass for them.
bool IsReservedNumber(SQLINTEGER number) {
  constexpr SQLINTEGER kReserved[] = {
      error_number::kNoCurrentRecord, error_number::kRecordLocked, 32755,
      static_cast<SQLINTEGER>(0x80010108u),  // the run passes over these
  };
  return std::find(std::begin(kReserved), std::end(kReserved), number) != std::end(kReserved);
}

}  // namespace

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  if (needle.size() > haystack.size()) return false;
  for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
    if (strncasecmp(haystack.data() + i, needle.data(), needle.size()) == 0) return true;
  }
  return false;
}

// The error of a failed call: the first record's native number and SQLSTATE,
// every record's message. `driver` names the driver in the source.
Error DriverError(SQLSMALLINT type, SQLHANDLE handle, const std::string& driver, bool sqlite,
                  std::string_view fallback_text) {
  std::vector<Diagnostic> records = ReadDiagnostics(type, handle);
  Error error;
  error.description = JoinMessages(records);
  if (error.description.empty()) error.description = std::string(fallback_text);
  std::string state = records.empty() ? "HY000" : records.front().state;
  error.source = "ODBC " + (driver.empty() ? "" : driver + " ") + state;
  if (IsLockConflict(records, sqlite)) {
    error.number = error_number::kRecordLocked;
  } else if (!records.empty() && records.front().native > 0 &&
             !IsReservedNumber(records.front().native)) {
    error.number = records.front().native;
  } else {
    error.number = error_number::kOdbcCallFailed;
  }
  return error;
}

}  // namespace boleto
