#include "db/database.h"

#include <strings.h>

namespace boleto {

RowSet::RowSet(std::vector<std::string> columns, std::vector<Row> rows)
    : columns_(std::move(columns)), rows_(std::move(rows)) {}

std::optional<size_t> RowSet::ColumnIndex(std::string_view column) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i].size() == column.size() &&
        strncasecmp(columns_[i].data(), column.data(), column.size()) == 0) {
      return i;
    }
  }
  return std::nullopt;
}

Result<std::optional<std::string>> RowSet::Value(std::string_view column) const {
  if (eof()) {
    return MakeError(error_number::kNoCurrentRecord, "No current record.");
  }
  if (const std::optional<size_t> i = ColumnIndex(column)) return rows_[current_][*i];
  return MakeError(error_number::kItemNotFound,
                   "Item not found in this collection: " + std::string(column));
}

Result<std::string> RowSet::Text(std::string_view column) const {
  Result<std::optional<std::string>> value = Value(column);
  if (!value.ok()) return value.error();
  if (!value->has_value()) {
    return MakeError(error_number::kInvalidUseOfNull,
                     "Invalid use of Null: " + std::string(column));
  }
  return **value;
}

Result<RowSet> TracingDatabase::Query(const std::string& sql, QueryMode mode) {
  statements.push_back({sql, true, mode});
  return inner_.Query(sql, mode);
}

Result<int64_t> TracingDatabase::Execute(const std::string& sql) {
  statements.push_back({sql, false, QueryMode::kSnapshotPassThrough});
  return inner_.Execute(sql);
}

}  // namespace boleto
