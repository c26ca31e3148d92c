#include "bankrules/due_date_factor.h"

#include <gtest/gtest.h>

namespace boleto {
namespace {

TEST(DueDateFactorTest, DaysFromTheBaseDates) {
  const struct {
    const char* due;
    const char* expected;
    const char* source;
  } rows[] = {
      {"07102000", "1096", "1096 days after 07/10/1997"},
      {"03072000", "1000", "first day of the first count"},
      {"21022025", "9999", "last day of the first count"},
      {"22022025", "1000", "1000 days after 29/05/2022: the count restarts"},
      {"23022025", "1001", "one day later"},
      {"19112027", "2000", "11000 days after the first base: second base"},
      {"10042025", "1047", "47 days after 22/02/2025"},
      {"29022024", "9641", "a leap day within the first count"},
      {"02072000", "8001", "999 from the first base is too short: 8001 before the second"},
      {"07101997", "9000", "0 from the first base: 9000 days before the second"},
      {"01011990", "2836", "before the first base the count is taken as a distance"},
      {"14102049", "0000", "10000 days after the second base keep their last four digits"},
      {"15102049", "0001", "and go on from there"},
      {"", "0000", "no due date"},
      {"        ", "0000", "a blank due date"},
  };
  for (const auto& row : rows) {
    const Result<std::string> got = DueDateFactor(row.due);
    ASSERT_TRUE(got.ok()) << row.due;
    EXPECT_EQ(*got, row.expected) << row.due << " (" << row.source << ")";
  }
}

TEST(DueDateFactorTest, TextsThatAreNoDateAreErrors) {
  for (const char* due : {"32012025", "31022025", "abc", "1", "0000000", "2025-01-01"}) {
    const Result<std::string> got = DueDateFactor(due);
    ASSERT_FALSE(got.ok()) << due;
    EXPECT_EQ(got.error().number, error_number::kTypeMismatch) << due;
  }
}

}  // namespace
}  // namespace boleto
