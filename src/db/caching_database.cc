#include "db/caching_database.h"

namespace boleto {

Result<RowSet> CachingDatabase::Query(const std::string& sql, QueryMode mode) {
  const std::optional<Clock::duration> keep = keep_for_(sql);
  if (!keep) return inner_->Query(sql, mode);
  const Clock::time_point now = Clock::now();
  auto key = std::make_pair(sql, mode);
  if (auto kept = answers_.find(key); kept != answers_.end() && now < kept->second.until) {
    RowSet answer = kept->second.answer;
    answer.MoveFirst();
    return answer;
  }
  Result<RowSet> answer = inner_->Query(sql, mode);
  if (answer.ok()) {
    const Clock::time_point until =
        *keep >= Clock::time_point::max() - now ? Clock::time_point::max() : now + *keep;
    answers_.insert_or_assign(std::move(key), Kept{*answer, until});
  }
  return answer;
}

}  // namespace boleto
