#include "db/driver_library.h"

#include <sqlext.h>
#include <strings.h>

#include <cstring>

#include "db/connect_string.h"

namespace boleto {
namespace {

// True when `a` and `b` are the same text but for case.
bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// Each entry of one of the driver manager's lists, SQLDrivers (a driver's
// name, then its "key=value" texts, each ended by a zero byte, the list by
// another) or SQLDataSources (a data source's name, then its driver's),
// handed to `visit` until it returns true.
template <typename ListCall, typename Visit>
void FindListed(SQLHENV env, ListCall list, Visit visit) {
  SQLCHAR name[256];
  SQLCHAR details[4096];
  SQLSMALLINT name_length = 0;
  SQLSMALLINT details_length = 0;
  bool found = false;
  // Read to the end even once found: the next listing starts afresh.
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST;
       SQL_SUCCEEDED(list(env, direction, name, sizeof name, &name_length, details, sizeof details,
                          &details_length));
       direction = SQL_FETCH_NEXT) {
    if (!found) {
      found = visit(reinterpret_cast<const char*>(name), reinterpret_cast<const char*>(details));
    }
  }
}

// The library file the driver manager loads for the driver called `name`:
// the "Driver" entry of that driver in its list, or `name` itself when it is
// a path. Empty when the list has no such driver.
std::string DriverLibraryOfName(SQLHENV env, std::string_view name) {
  if (name.find('/') != std::string_view::npos) return std::string(name);
  std::string library;
  FindListed(env, SQLDrivers, [&](const char* driver, const char* attributes) {
    if (!SameNoCase(driver, name)) return false;
    constexpr std::string_view kDriverKey = "Driver=";
    for (const char* entry = attributes; *entry != '\0'; entry += std::strlen(entry) + 1) {
      if (strncasecmp(entry, kDriverKey.data(), kDriverKey.size()) == 0) {
        library = entry + kDriverKey.size();
      }
    }
    return true;
  });
  return library;
}

}  // namespace

std::string DriverLibrary(SQLHENV env, std::string_view connect) {
  std::string driver = ConnectValue(connect, "DRIVER");
  if (driver.empty()) {
    const std::string dsn = ConnectValue(connect, "DSN");
    FindListed(env, SQLDataSources, [&](const char* name, const char* its_driver) {
      if (!SameNoCase(name, dsn)) return false;
      driver = its_driver;
      return true;
    });
  }
  return driver.empty() ? "" : DriverLibraryOfName(env, driver);
}

}  // namespace boleto
