#include "db/database_identity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "support/paths.h"

namespace boleto {
namespace {

using boleto::testing::MakeTempDir;
using boleto::testing::RemoveTree;

// Pairs of connect strings and whether they name one database: an SQLite
// file by its device and inode whatever the path's spelling, any other by
// its parts whatever their order, case of keys and blanks.
TEST(DatabaseIdentityTest, TwoSpellingsOfOneDatabaseAreOne) {
  const std::string dir = MakeTempDir("bolident");
  std::ofstream(dir + "/W.db") << "x";
  std::ofstream(dir + "/V.db") << "x";
  ASSERT_EQ(::symlink((dir + "/W.db").c_str(), (dir + "/L.db").c_str()), 0);
  const std::string w = "DRIVER=SQLite3;Database=" + dir + "/W.db";
  struct Case {
    std::string a;
    std::string b;
    bool same;
  };
  const Case cases[] = {
      {w, "DRIVER=SQLite3;Database=" + dir + "//W.db", true},
      {w, "driver=SQLite3; database = " + dir + "/./W.db;", true},
      {w, "DRIVER={SQLite3};Database={" + dir + "/L.db};Timeout=5000", true},
      {w, "DRIVER=SQLite3;Database=" + dir + "/V.db", false},
      {"DRIVER=SQLite3;Database=" + dir + "/none//N.db",
       "DRIVER=SQLite3;Database=" + dir + "/none/N.db", true},
      {"DRIVER=SQLite3;Database=" + dir + "/none/N.db",
       "DRIVER=SQLite3;Database=" + dir + "/none/M.db", false},
      {"DRIVER=PostgreSQL Unicode;Server=h;Database=boleto",
       " database=boleto ;SERVER= h;Driver=PostgreSQL Unicode", true},
      {"DRIVER=PostgreSQL Unicode;Server=h;Database=boleto",
       "DRIVER=PostgreSQL Unicode;Server=h;Database=Boleto", false},
      {"DRIVER=PostgreSQL Unicode;Server=h;Database=boleto",
       "DRIVER=PostgreSQL Unicode;Server=h;Database=boleto;Port=5433", false},
      {"DSN=contas;PWD={a;b}", "DSN=contas;PWD=a;b=", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DatabaseIdentity(c.a) == DatabaseIdentity(c.b), c.same) << c.a << "\n" << c.b;
  }
  RemoveTree(dir);
}

}  // namespace
}  // namespace boleto
