// Where the tests find the sources, the built program and a scratch folder.
#pragma once

#include <string>

namespace boleto::testing {

// The source tree (sql/, tests/e2e/ scenarios, demo files).
std::string SourceDir();
// The built boleto-sr executable.
std::string ProgramPath();
// A new empty folder under the system's temporary folder; removed by the
// caller with RemoveTree when the test is done.
std::string MakeTempDir(const std::string& prefix);
void RemoveTree(const std::string& path);
// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// The demo rows of sql/demo.sql, with the demo print folder (demo/print) in
// place of its marker.
std::string DemoSql();

}  // namespace boleto::testing
