// Which driver a connect string names, as the driver manager (unixODBC)
// would load it: read from its lists of drivers and data sources before
// the connection is opened. Touches: the driver manager's configuration,
// read only.
#pragma once

#include <sql.h>

#include <string>
#include <string_view>

namespace boleto {

// The library file of the driver `connect` names ("psqlodbcw.so"): that of
// its DRIVER (a name in the driver list, or a path), else that of the driver
// of its data source (DSN). Empty when the driver manager knows neither.
// REQUIRES: `env` an ODBC 3 environment handle.
std::string DriverLibrary(SQLHENV env, std::string_view connect);

}  // namespace boleto
