#include "db/caching_database.h"

namespace boleto {

Result<RowSet> CachingDatabase::Query(const std::string& sql, QueryMode mode) {
  if (!cacheable_(sql)) return inner_->Query(sql, mode);
  const auto key = std::make_pair(sql, mode);
  if (auto kept = answers_.find(key); kept != answers_.end()) {
    RowSet answer = kept->second;
    answer.MoveFirst();
    return answer;
  }
  Result<RowSet> answer = inner_->Query(sql, mode);
  if (answer.ok()) answers_.emplace(key, *answer);
  return answer;
}

}  // namespace boleto
