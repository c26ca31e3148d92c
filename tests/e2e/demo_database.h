// The demo data for tests that run the built program: the rows of
// sql/demo.sql with their print folder, in a new SQLite file or a new
// database of the test program's PostgreSQL cluster, with the dialect tag
// and the 133-column argument text that name one of its installments.
#pragma once

#include <memory>
#include <string>

#include "db/database.h"
#include "support/paths.h"
#include "support/postgres_cluster.h"
#include "support/sqlite_fixture.h"

namespace boleto::testing {

inline std::string Pad(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

// The 133-column argument text for company 01, unit 01.
inline std::string ArgumentText(const std::string& tag, const std::string& connect,
                                const std::string& document, const std::string& serie,
                                const std::string& numero, const std::string& parcela) {
  return Pad(tag, 15) + Pad(connect, 63) + " 01 " + Pad("01", 8) + " " + Pad(document, 10) + " " +
         Pad(serie, 3) + " " + Pad(numero, 8) + " " + parcela + " " + Pad("E2E", 15);
}

// The rows of `sql`, "a|b" per row and a line feed after each, NULL as
// "NULL"; a failing query as "<description>".
inline std::string RowsText(Database& db, const std::string& sql) {
  auto rows = db.Query(sql);
  if (!rows.ok()) return "<" + rows.error().description + ">";
  std::string text;
  for (; !rows->eof(); rows->MoveNext()) {
    for (size_t i = 0; i < rows->columns().size(); ++i) {
      auto v = rows->Value(rows->columns()[i]);
      text += (i ? "|" : "") + (v.ok() && v->has_value() ? **v : std::string("NULL"));
    }
    text += "\n";
  }
  return text;
}

enum class Engine { kSqlite, kPostgres };

// The demo rows in a database of their own on `engine`.
class DemoOn {
 public:
  static Result<std::unique_ptr<DemoOn>> Create(Engine engine) {
    std::unique_ptr<DemoOn> demo(new DemoOn());
    if (engine == Engine::kSqlite) {
      auto fixture = SqliteFixture::Create();
      if (!fixture.ok()) return fixture.error();
      demo->sqlite_ = std::move(*fixture);
      demo->tag_ = "SQLITE";
      demo->connect_ = demo->sqlite_->connect_string();
    } else {
      auto cluster = PostgresCluster::Shared();
      if (!cluster.ok()) return cluster.error();
      auto connect = (*cluster)->NewDatabase();
      if (!connect.ok()) return connect.error();
      demo->tag_ = "POSTGRESQL";
      demo->connect_ = *connect;
      auto db = (*cluster)->Open(*connect);
      if (!db.ok()) return db.error();
      demo->postgres_ = std::move(*db);
    }
    if (Status loaded = RunSqlScript(demo->db(), DemoRowsSql()); !loaded.ok())
      return loaded.error();
    return demo;
  }

  const std::string& tag() const { return tag_; }
  const std::string& connect_string() const { return connect_; }
  Database& db() { return sqlite_ ? sqlite_->db() : *postgres_; }
  std::string Argument(const std::string& numero, const std::string& parcela = "01",
                       const std::string& document = "DM", const std::string& serie = "1") const {
    return ArgumentText(tag_, connect_, document, serie, numero, parcela);
  }
  std::string Rows(const std::string& sql) { return RowsText(db(), sql); }

 private:
  DemoOn() = default;
  std::string tag_;
  std::string connect_;
  std::unique_ptr<SqliteFixture> sqlite_;
  std::unique_ptr<Database> postgres_;
};

}  // namespace boleto::testing
