// Errors as values. An Error carries what the error report shows: a number,
// a description and the component that raised it. Status is "ok or an
// Error"; Result<T> is "a T or an Error"; Recovered<T> is "a T, and the
// Error shown on the way to it, if any". Nothing here throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace boleto {

struct Error {
  int32_t number = 0;
  std::string description;
  std::string source;
};

// Error numbers the program itself raises, kept as the numbers the callers
// have always recognised.
namespace error_number {
inline constexpr int32_t kTypeMismatch = 13;       // a text that is not a number or date
inline constexpr int32_t kOverflow = 6;            // a value too large for its type
inline constexpr int32_t kInvalidUseOfNull = 94;   // a NULL read where text is required
inline constexpr int32_t kNoCurrentRecord = 3021;  // harmless in every trap
inline constexpr int32_t kRecordLocked = 3158;     // another user holds the row
inline constexpr int32_t kItemNotFound = 3265;     // a column name that the row lacks
inline constexpr int32_t kOdbcCallFailed = 3146;   // the driver refused a statement
inline constexpr int32_t kPrinterFailure = 482;    // the page did not reach the printer
inline constexpr int32_t kFileNotFound = 53;       // a logo file that does not exist
inline constexpr int32_t kInvalidPicture = 481;    // a logo file that is no picture
inline constexpr int32_t kMalformedBarcode = 5;    // a line that cannot become a barcode
inline constexpr int32_t kInvalidArgument = 5;     // the same number: a dialect tag unknown
}  // namespace error_number

// Whether another user holds the row that `error` was raised on.
inline bool IsRecordLocked(const Error& error) {
  return error.number == error_number::kRecordLocked;
}

// The source named in errors that the program raises itself.
inline constexpr char kProgramName[] = "boleto-sr";

inline Error MakeError(int32_t number, std::string description, std::string source = kProgramName) {
  return Error{number, std::move(description), std::move(source)};
}

class Status {
 public:
  Status() = default;
  Status(Error error) : error_(std::move(error)) {}  // NOLINT: implicit on purpose
  static Status Ok() { return Status(); }

  bool ok() const { return !error_.has_value(); }
  const Error& error() const { return *error_; }

 private:
  std::optional<Error> error_;
};

template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}      // NOLINT: implicit on purpose
  Result(Error error) : value_(std::move(error)) {}  // NOLINT: implicit on purpose

  bool ok() const { return std::holds_alternative<T>(value_); }
  const T& value() const& { return std::get<T>(value_); }
  T& value() & { return std::get<T>(value_); }
  T&& value() && { return std::get<T>(std::move(value_)); }
  const Error& error() const { return std::get<Error>(value_); }
  Status status() const { return ok() ? Status() : Status(error()); }

  const T& operator*() const& { return value(); }
  T& operator*() & { return value(); }
  const T* operator->() const { return &value(); }
  T* operator->() { return &value(); }

 private:
  std::variant<T, Error> value_;
};

// A value the run goes on with although an error was shown on the way to it
// (a fallback name after a lookup that failed): the caller uses `value`, and
// whoever decides the exit status reads `error` (an error shown gives 2).
template <class T>
struct Recovered {
  T value;
  std::optional<Error> error;  // already shown; none when all went well
};

}  // namespace boleto

// Passing errors up, in functions that return Status or Result<T>:
//   BOLETO_RETURN_IF_ERROR(status_expression);
//   BOLETO_ASSIGN_OR_RETURN(lhs, result_expression);
// Each returns the expression's error when it has one; the second otherwise
// moves the value into `lhs` (a declaration such as `auto x` or an lvalue;
// it must not contain a comma). Both are statements, never expressions; the
// second is several statements, so under an `if` or a loop it needs braces.
#define BOLETO_RETURN_IF_ERROR(...)                          \
  do {                                                       \
    const ::boleto::Status boleto_status_ = (__VA_ARGS__);   \
    if (!boleto_status_.ok()) return boleto_status_.error(); \
  } while (false)

#define BOLETO_ASSIGN_OR_RETURN(lhs, ...) \
  BOLETO_ASSIGN_OR_RETURN_(BOLETO_CONCAT_(boleto_result_, __LINE__), lhs, __VA_ARGS__)
#define BOLETO_ASSIGN_OR_RETURN_(result, lhs, ...) \
  auto result = (__VA_ARGS__);                     \
  if (!result.ok()) return result.error();         \
  lhs = std::move(result).value()
#define BOLETO_CONCAT_(a, b) BOLETO_CONCAT_INNER_(a, b)
#define BOLETO_CONCAT_INNER_(a, b) a##b
