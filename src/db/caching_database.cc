#include "db/caching_database.h"

namespace boleto {

Result<RowSet> CachingDatabase::Query(const std::string& sql, QueryMode mode) {
  if (!anticipated_.empty()) {
    if (auto given = anticipated_.find({sql, mode}); given != anticipated_.end()) {
      RowSet answer = std::move(given->second);
      anticipated_.erase(given);
      return answer;
    }
  }
  return inner_->Query(sql, mode);
}

void CachingDatabase::Anticipate(std::string sql, QueryMode mode, RowSet answer) {
  answer.MoveFirst();
  anticipated_.emplace(std::pair(std::move(sql), mode), std::move(answer));
}

Result<RowSet> CachingDatabase::QuerySetting(const std::string& sql, QueryMode mode) {
  auto key = std::make_pair(sql, mode);
  if (auto kept = settings_.find(key); kept != settings_.end()) {
    RowSet answer = kept->second;
    answer.MoveFirst();
    return answer;
  }
  Result<RowSet> answer = inner_->Query(sql, mode);
  if (answer.ok()) settings_.insert_or_assign(std::move(key), *answer);
  return answer;
}

Result<RowSet> CachingDatabase::QueryClock(const std::string& sql) {
  const Clock::time_point now = Clock::now();
  const Date today = local_date_();
  // Kept only on the day it was given: after midnight the clock is asked
  // again, however young its answer.
  if (auto kept = clock_.find(sql); kept != clock_.end() &&
                                    now - kept->second.asked < kClockKeptFor &&
                                    kept->second.local_date == today) {
    RowSet answer = kept->second.answer;
    answer.MoveFirst();
    return answer;
  }
  Result<RowSet> answer = inner_->Query(sql);
  if (answer.ok()) clock_.insert_or_assign(sql, ClockAnswer{*answer, now, today});
  return answer;
}

}  // namespace boleto
