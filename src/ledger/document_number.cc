#include "ledger/document_number.h"

#include <chrono>
#include <optional>
#include <thread>

#include "db/dialect.h"
#include "db/sql_text.h"
#include "ledger/remittance.h"
#include "platform/amount_text.h"
#include "platform/text.h"

namespace boleto {
namespace {

// DOCNUMERO.CODIGO and DOCNUMERO.NUMERO are CHAR(10).
constexpr size_t kFieldWidth = 10;
constexpr char kFirstNumber[] = "0000000001";
// Rounds of read and conditional update before a draw gives up. Every round
// lost means another program drew a number in between, so eight programs
// drawing at once need at most eight.
constexpr int kMaxDrawAttempts = 64;
// Lock conflicts a draw outlasts. The driver has already waited its own lock
// time-out before it reports one (inside a recording, up to the recording's
// deadline, after which a conflict is reported at once), so a few more
// tries are enough; more would keep the clerk waiting for the same message.
constexpr int kMaxLockConflicts = 3;
// Pause after a lock conflict, growing with each one.
constexpr std::chrono::milliseconds kLockPause{10};

std::string ReadContext(std::string_view code) {
  return "Erro na Verificação do Documento Padrão: " + std::string(code);
}
std::string WriteContext(std::string_view code) {
  return "Erro na Atualização do Documento Padrão: " + std::string(code);
}

std::string SequenceWhere(std::string_view company, std::string_view code) {
  return " WHERE CODIGOEMP = '" + SqlQuote(company) + "' " + "  AND  CODIGO    = '" +
         SqlQuote(DocumentField(code)) + "'";
}

std::string ReadSql(std::string_view company, std::string_view code, std::string_view number) {
  std::string sql = "SELECT NUMERO FROM DOCNUMERO " + SequenceWhere(company, code);
  if (number.find_first_not_of(' ') != std::string_view::npos) {
    sql += "  AND NUMERO  = '" + SqlQuote(DocumentField(number)) + "'";
  }
  return sql;
}

std::string UpdateSql(std::string_view company, std::string_view code, std::string_view number) {
  return "UPDATE DOCNUMERO SET NUMERO = '" + SqlQuote(DocumentField(number)) + "' " +
         SequenceWhere(company, code);
}

std::string InsertSql(std::string_view company, std::string_view code, std::string_view number) {
  return std::string("INSERT INTO DOCNUMERO (") + "CodigoEmp, " + "Codigo, " + "Numero ) " +
         " VALUES ( " + "'" + SqlQuote(company) + "', " + "'" + SqlQuote(DocumentField(code)) +
         "', " + "'" + SqlQuote(DocumentField(number)) + "') ";
}

// The stored number of the sequence, nothing when it has no row.
Result<std::optional<std::string>> LookupNumber(Database& db, std::string_view company,
                                                std::string_view code, std::string_view number) {
  BOLETO_ASSIGN_OR_RETURN(const RowSet rows, db.Query(ReadSql(company, code, number)));
  if (rows.eof()) return std::optional<std::string>();
  BOLETO_ASSIGN_OR_RETURN(std::string stored, rows.Text("Numero"));
  return std::optional<std::string>(std::move(stored));
}

// Runs a write of the draw that may fail and be tried again. Where a failed
// statement leaves the transaction refusing the next ones, in a transaction
// of its own (nested in the recording's), so that a failure undoes it alone
// and the draw can go on in the transaction around it.
Result<int64_t> ExecuteAlone(Database& db, Dialect dialect, const std::string& sql) {
  if (!FailedStatementHaltsTransaction(dialect) || !db.NestsTransactions()) {
    return db.Execute(sql);
  }
  Transaction alone(db);
  BOLETO_RETURN_IF_ERROR(alone.Begin());
  BOLETO_ASSIGN_OR_RETURN(const int64_t written, db.Execute(sql));
  BOLETO_RETURN_IF_ERROR(alone.Commit());
  return written;
}

}  // namespace

std::string DocumentField(std::string_view value) {
  std::string field(value.substr(0, kFieldWidth));
  field.resize(kFieldWidth, ' ');
  return field;
}

Recovered<std::string> ReadDocumentNumber(RunContext& ctx, std::string_view company,
                                          std::string_view code, std::string_view number) {
  Result<std::optional<std::string>> stored = LookupNumber(*ctx.db, company, code, number);
  if (!stored.ok()) {
    // No current record is no error: the sequence simply has no row.
    if (stored.error().number == error_number::kNoCurrentRecord) return {kNotRegistered, {}};
    ReportError(*ctx.messages, stored.error(), ReadContext(code));
    return {kNotRegistered, stored.error()};
  }
  return {stored->value_or(kNotRegistered), {}};
}

bool WriteDocumentNumber(RunContext& ctx, std::string_view mode, std::string_view company,
                         std::string_view code, std::string_view number) {
  const std::string sql =
      mode == "A" ? UpdateSql(company, code, number) : InsertSql(company, code, number);
  Result<int64_t> written = ctx.db->Execute(sql);
  if (!written.ok()) {
    ReportError(*ctx.messages, written.error(), WriteContext(code));
    return false;
  }
  return true;
}

Result<std::string> NextDocumentNumber(std::string_view stored, std::string_view decimal_mark) {
  // Digits only, blanks around them allowed: a stored text read as zero, or
  // as a date, would start the sequence over and hand out numbers again.
  const std::string_view digits_read = TrimBlanks(stored);
  if (digits_read.empty() ||
      digits_read.find_first_not_of("0123456789") != std::string_view::npos) {
    return MakeError(error_number::kTypeMismatch, "Type mismatch: DOCNUMERO.NUMERO \"" +
                                                      std::string(stored) + "\" is not a number");
  }
  BOLETO_ASSIGN_OR_RETURN(const Currency value, ParseAmount(digits_read, decimal_mark));
  const int64_t next = value.raw() / Currency::kScale + 1;
  std::string digits = std::to_string(next);
  if (digits.size() > kFieldWidth) {
    // Cutting to 10 digits would start the sequence over and repeat numbers.
    return MakeError(error_number::kOverflow, "Overflow: document number " + digits);
  }
  return std::string(kFieldWidth - digits.size(), '0') + digits;
}

Result<std::string> DrawDocumentNumber(RunContext& ctx, std::string_view company,
                                       std::string_view code) {
  Database& db = *ctx.db;
  int lock_conflicts = 0;
  // A lock conflict is waited out a few times; any other failure is shown
  // through the error report with `context` at once. Gives the error to
  // return, or nothing when the draw should go on.
  const auto failure = [&](const Error& error, const std::string& context) -> std::optional<Error> {
    if (!IsRecordLocked(error)) {
      ReportError(*ctx.messages, error, context);
      return error;
    }
    if (++lock_conflicts >= kMaxLockConflicts) {
      ShowRecordLocked(ctx);
      return error;
    }
    std::this_thread::sleep_for(kLockPause * lock_conflicts);
    return std::nullopt;
  };

  for (int attempt = 1; attempt <= kMaxDrawAttempts; ++attempt) {
    Result<std::optional<std::string>> stored = LookupNumber(db, company, code, "");
    if (!stored.ok()) {
      if (std::optional<Error> error = failure(stored.error(), ReadContext(code))) return *error;
      continue;
    }

    if (!stored->has_value()) {
      // First number of the sequence. The key (CODIGOEMP, CODIGO) refuses a
      // second first row: when another program inserted it in the meantime,
      // read again and draw after its number.
      Result<int64_t> inserted =
          ExecuteAlone(db, ctx.dialect, InsertSql(company, code, kFirstNumber));
      if (inserted.ok()) return std::string(kFirstNumber);
      Result<std::optional<std::string>> again = LookupNumber(db, company, code, "");
      if (again.ok() && again->has_value()) continue;
      if (std::optional<Error> error = failure(inserted.error(), WriteContext(code))) return *error;
      continue;
    }

    Result<std::string> next = NextDocumentNumber(**stored, ctx.decimal_mark);
    if (!next.ok()) {
      ReportError(*ctx.messages, next.error(), ReadContext(code));
      return next.error();
    }
    // Written only while the number read is still the stored one; no row
    // affected means another program drew it first.
    const std::string sql =
        UpdateSql(company, code, *next) + "  AND NUMERO  = '" + SqlQuote(**stored) + "'";
    Result<int64_t> updated = ExecuteAlone(db, ctx.dialect, sql);
    if (!updated.ok()) {
      if (std::optional<Error> error = failure(updated.error(), WriteContext(code))) return *error;
      continue;
    }
    if (*updated > 0) return *next;
  }
  // Every round was lost to other programs drawing from the same sequence.
  const Error busy = MakeError(error_number::kRecordLocked,
                               "The document number was taken by another user at every attempt.");
  ShowRecordLocked(ctx);
  return busy;
}

Result<std::vector<std::string>> DrawDocumentNumbers(Database& db, std::string_view company,
                                                     std::string_view code, size_t count,
                                                     std::string_view decimal_mark) {
  BOLETO_ASSIGN_OR_RETURN(const std::optional<std::string> stored,
                          LookupNumber(db, company, code, ""));
  if (!stored) {
    return MakeError(error_number::kNoCurrentRecord, "The sequence has no number to draw after.");
  }
  std::vector<std::string> numbers;
  std::string last = *stored;
  for (size_t i = 0; i < count; ++i) {
    BOLETO_ASSIGN_OR_RETURN(last, NextDocumentNumber(last, decimal_mark));
    numbers.push_back(last);
  }
  const std::string sql =
      UpdateSql(company, code, last) + "  AND NUMERO  = '" + SqlQuote(*stored) + "'";
  BOLETO_ASSIGN_OR_RETURN(const int64_t updated, db.Execute(sql));
  if (updated == 0) {
    return MakeError(error_number::kRecordLocked,
                     "The document number was taken by another user meanwhile.");
  }
  return numbers;
}

}  // namespace boleto
