// Errors as values. An Error carries what the error report shows: a number,
// a description and the component that raised it. Status is "ok or an
// Error"; Result<T> is "a T or an Error". Nothing here throws.
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
inline constexpr int32_t kTypeMismatch = 13;         // a text that is not a number or date
inline constexpr int32_t kOverflow = 6;              // a value too large for its type
inline constexpr int32_t kInvalidUseOfNull = 94;     // a NULL read where text is required
inline constexpr int32_t kNoCurrentRecord = 3021;    // harmless in every trap
inline constexpr int32_t kRecordLocked = 3158;       // another user holds the row
inline constexpr int32_t kItemNotFound = 3265;       // a column name that the row lacks
inline constexpr int32_t kOdbcCallFailed = 3146;     // the driver refused a statement
inline constexpr int32_t kPrinterFailure = 482;      // the page did not reach the printer
inline constexpr int32_t kFileNotFound = 53;         // a logo file that does not exist
inline constexpr int32_t kInvalidPicture = 481;      // a logo file that is no picture
inline constexpr int32_t kMalformedBarcode = 5;      // a line that cannot become a barcode
inline constexpr int32_t kInvalidArgument = 5;       // the same number: a dialect tag unknown
}  // namespace error_number

// The source named in errors that the program raises itself.
inline constexpr char kProgramName[] = "boleto-sr";

inline Error MakeError(int32_t number, std::string description,
                       std::string source = kProgramName) {
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
  Result(T value) : value_(std::move(value)) {}        // NOLINT: implicit on purpose
  Result(Error error) : value_(std::move(error)) {}    // NOLINT: implicit on purpose

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

}  // namespace boleto
