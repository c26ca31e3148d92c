#include "startup/read_ahead.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "boleto/queries.h"
#include "platform/text.h"
#include "validation/eligibility.h"

namespace boleto {
namespace {

using Installment = std::pair<std::string, std::string>;  // number, installment number

// Each value of `member` in `keys` once, in its first order.
std::vector<std::string> Distinct(std::span<const InstallmentKey> keys,
                                  std::string InstallmentKey::*member) {
  std::vector<std::string> distinct;
  for (const InstallmentKey& key : keys) {
    if (std::find(distinct.begin(), distinct.end(), key.*member) == distinct.end()) {
      distinct.push_back(key.*member);
    }
  }
  return distinct;
}

// What a key column's value comes to where the engine compares loosely: a
// CHAR column ignores trailing blanks, a case-insensitive collation case.
std::string Loosely(std::string_view value) {
  std::string loose(TrimRightBlanks(value));
  for (char& c : loose) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return loose;
}

// Whether `value` is the only value of `values` that compares loosely equal to it.
bool OnlyLooseMatch(const std::vector<std::string>& values, const std::string& value) {
  const std::string loose = Loosely(value);
  return std::none_of(values.begin(), values.end(), [&](const std::string& other) {
    return other != value && Loosely(other) == loose;
  });
}

bool Contains(const std::vector<std::string>& values, const std::string& value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

// The rows of `rows` by installment, without the columns `drop`: nullopt
// when a row's number (column "Numero") or installment number ("Parcela",
// where `parcelas` is given) is not exactly one of those asked.
std::optional<std::map<Installment, std::vector<RowSet::Row>>> SplitRows(
    const RowSet& rows, const std::vector<std::string>& numeros,
    const std::vector<std::string>* parcelas, std::optional<size_t> drop) {
  const std::optional<size_t> numero = rows.ColumnIndex("Numero");
  const std::optional<size_t> parcela = rows.ColumnIndex("Parcela");
  if (!numero || (parcelas != nullptr && !parcela)) return std::nullopt;
  std::map<Installment, std::vector<RowSet::Row>> split;
  for (const RowSet::Row& row : rows.rows()) {
    const std::optional<std::string>& n = row[*numero];
    if (!n || !Contains(numeros, *n)) return std::nullopt;
    std::string p;
    if (parcelas != nullptr) {
      const std::optional<std::string>& value = row[*parcela];
      if (!value || !Contains(*parcelas, *value)) return std::nullopt;
      p = *value;
    }
    RowSet::Row kept = row;
    if (drop) kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(*drop));
    split[{*n, p}].push_back(std::move(kept));
  }
  return split;
}

// `sql` run once for `keys`, each installment's share anticipated as the
// answer to its own query (`own_sql`). With `by_number`, the rows are
// counts by number alone (column "Numero" dropped; a number without a row
// counts zero).
template <typename OwnSql>
void ReadShares(CachingDatabase& db, QueryMode mode, const std::string& sql,
                std::span<const InstallmentKey> keys, const std::vector<std::string>& numeros,
                const std::vector<std::string>& parcelas, bool by_number, OwnSql own_sql) {
  Result<RowSet> answer = db.Query(sql, mode);
  if (!answer.ok()) return;
  std::vector<std::string> columns = answer->columns();
  std::optional<size_t> drop;
  if (by_number) {
    drop = answer->ColumnIndex("Numero");
    if (!drop) return;
    columns.erase(columns.begin() + static_cast<std::ptrdiff_t>(*drop));
  }
  const auto split = SplitRows(*answer, numeros, by_number ? nullptr : &parcelas, drop);
  if (!split) return;
  for (const InstallmentKey& key : keys) {
    const auto share = split->find({key.numero, by_number ? std::string() : key.parcela});
    std::vector<RowSet::Row> rows;
    if (share != split->end()) rows = share->second;
    if (rows.size() > 1) continue;  // its own query tells their order
    if (by_number && rows.empty()) rows.push_back({std::string("0")});
    db.Anticipate(own_sql(key), mode, RowSet(columns, std::move(rows)));
  }
}

}  // namespace

void ReadAhead(CachingDatabase& db, Dialect dialect, std::span<const InstallmentKey> all_keys) {
  db.ForgetAnticipated();
  // Two numbers one query may take for each other ("123" and "123     " in
  // a CHAR column) cannot be told apart in its rows: both ask on their own.
  const std::vector<std::string> all_numeros = Distinct(all_keys, &InstallmentKey::numero);
  const std::vector<std::string> all_parcelas = Distinct(all_keys, &InstallmentKey::parcela);
  std::vector<InstallmentKey> keys;
  for (const InstallmentKey& key : all_keys) {
    if (OnlyLooseMatch(all_numeros, key.numero) && OnlyLooseMatch(all_parcelas, key.parcela)) {
      keys.push_back(key);
    }
  }
  if (keys.empty()) return;
  const InstallmentKey& series = keys.front();
  const std::vector<std::string> numeros = Distinct(keys, &InstallmentKey::numero);
  const std::vector<std::string> parcelas = Distinct(keys, &InstallmentKey::parcela);
  const QueryMode mode = InstallmentQueryMode(dialect);
  ReadShares(db, mode, EligibilityInstallmentQuery(series, numeros, parcelas), keys, numeros,
             parcelas, /*by_number=*/false, [](const InstallmentKey& key) {
               return EligibilityInstallmentQuery(key, std::span(&key.numero, 1),
                                                  std::span(&key.parcela, 1));
             });
  ReadShares(db, mode, InstallmentQuery(dialect, series, numeros, parcelas), keys, numeros,
             parcelas, /*by_number=*/false,
             [dialect](const InstallmentKey& key) { return InstallmentQuery(dialect, key); });
  ReadShares(db, QueryMode::kSnapshotPassThrough, InstallmentCountsQuery(series, numeros), keys,
             numeros, parcelas, /*by_number=*/true,
             [](const InstallmentKey& key) { return InstallmentCountQuery(key); });
}

}  // namespace boleto
