// The program's error for a failed ODBC call: the driver's native number
// (3146 where it gives none or one the program treats specially), its
// message texts on one line, a source "ODBC <driver> <SQLSTATE>", and error
// 3158 for a lock held by another connection (SQLite busy or locked;
// PostgreSQL 55P03 lock not available, 40P01 deadlock).
#pragma once

#include <sql.h>

#include <string>
#include <string_view>

#include "platform/status.h"

namespace boleto {

// True when `haystack` holds `needle`, compared without case.
bool ContainsNoCase(std::string_view haystack, std::string_view needle);

// The error of a failed call on `handle`; `driver` names the driver in the
// source, `sqlite` says whether its lock messages are SQLite's.
Error DriverError(SQLSMALLINT type, SQLHANDLE handle, const std::string& driver, bool sqlite,
                  std::string_view fallback_text);

}  // namespace boleto
