#include "ledger/batch_recording.h"

#include <algorithm>
#include <optional>
#include <set>
#include <tuple>
#include <utility>
#include <variant>

#include "db/dialect.h"
#include "db/error_report.h"
#include "db/sql_text.h"
#include "ledger/batch_writes.h"
#include "platform/text.h"

namespace boleto {
namespace {

// Installments recorded in one transaction: few enough that another clerk
// waits well under the lock wait for the database, many enough that the
// batch does not wait for the disk once per installment.
constexpr size_t kRecordsPerTransaction = 400;
// Installments locked and read together: a statement or two for each
// document series among them instead of two for each installment, with IN
// lists of at most this many values, well inside what every engine takes.
constexpr size_t kLockedAtOnce = 100;

// The locked read of the installments of one series, each row with its key.
// The documents are named by their own key values as well as joined: found
// only through the join, a server may read every document of the series.
std::string LockedSeriesSql(Dialect dialect, const SeriesKey& series,
                            const std::set<std::string>& numeros) {
  return LockedColumnsSql(dialect) +
         ", PARCELAR.CodigoEmp AS ChaveEmp, PARCELAR.CodigoUnidade AS ChaveUnidade, "
         "PARCELAR.CodigoDocumento AS ChaveDocumento, PARCELAR.Serie AS ChaveSerie, "
         "PARCELAR.Numero AS ChaveNumero, PARCELAR.Parcela AS ChaveParcela "
         " FROM PARCELAR, DOCUMENTOR WHERE " +
         SeriesWhere(series, numeros, "PARCELAR.") + " AND " +
         SeriesWhere(series, numeros, "DOCUMENTOR.") +
         " AND PARCELAR.CODIGOEMP = DOCUMENTOR.CODIGOEMP "
         " AND PARCELAR.CODIGOUNIDADE = DOCUMENTOR.CODIGOUNIDADE "
         " AND PARCELAR.CODIGODOCUMENTO = DOCUMENTOR.CODIGODOCUMENTO "
         " AND PARCELAR.SERIE = DOCUMENTOR.SERIE "
         " AND PARCELAR.NUMERO = DOCUMENTOR.NUMERO " +
         kWithPayerSql +
         " AND NOT EXISTS ( SELECT * FROM REMESSAR "
         "  WHERE CodigoEmp = PARCELAR.CodigoEmp AND CodigoUnidade = PARCELAR.CodigoUnidade "
         "  AND CodigoDocumento = PARCELAR.CodigoDocumento AND Serie = PARCELAR.Serie "
         "  AND Numero = PARCELAR.Numero AND Parcela = PARCELAR.Parcela "
         "  AND DataProcesso IS NOT NULL ) ";
}

// The key of the locked read's current row.
Result<InstallmentKey> RowKey(const RowSet& rows) {
  InstallmentKey key;
  const struct {
    const char* column;
    std::string* target;
  } key_columns[] = {{"ChaveEmp", &key.codigo_emp},
                     {"ChaveUnidade", &key.codigo_unidade},
                     {"ChaveDocumento", &key.codigo_documento},
                     {"ChaveSerie", &key.serie},
                     {"ChaveNumero", &key.numero},
                     {"ChaveParcela", &key.parcela}};
  for (const auto& k : key_columns) {
    BOLETO_ASSIGN_OR_RETURN(*k.target, rows.Text(k.column));
  }
  return key;
}

// Locks and reads the installments of `batch` at once, in a transaction of
// its own: a lock that waits too long, or a read that fails, is undone
// alone, and each installment then locks and reads its own row, with its own
// message. (Where the database cannot undo it alone, the batch's
// transaction goes with it, and each of its installments fails.) Nothing
// when that failed and nothing was locked.
std::optional<std::map<std::string, RowSet>> LockTogether(
    Database& db, Dialect dialect, std::span<BatchInstallment* const> batch) {
  std::vector<InstallmentKey> keys;
  for (const BatchInstallment* installment : batch) keys.push_back(installment->ctx->key);
  Transaction attempt(db);
  if (!attempt.Begin().ok()) return std::nullopt;
  Result<std::map<std::string, RowSet>> rows = LockInstallments(db, dialect, keys);
  if (!rows.ok() || !attempt.Commit().ok()) return std::nullopt;
  return std::move(rows).value();
}

// An installment of the batch checked against its locked row, waiting for
// its writes to be made with those of the others of its hundred.
struct Waiting {
  BatchInstallment* installment;
  const RowSet* locked;
  CheckedInstallment checked;
};

// One transaction of the batch: `chunk`, all on connection `db`.
void RecordTransaction(Database& db, Dialect dialect, std::span<BatchInstallment* const> chunk,
                       const AmountDueNow& amount_due_now, const BatchRecordingEvents& events) {
  // The run states of the installments kept in short: made for this
  // transaction alone, so that a batch holds a few hundred at a time.
  std::vector<RunContext> made;
  made.reserve(chunk.size());
  for (BatchInstallment* installment : chunk) {
    if (installment->ctx != nullptr) continue;
    made.push_back(RecordingContext(*installment->kept));
    installment->ctx = &made.back();
  }
  std::vector<BatchInstallment*> recorded;
  // Once an installment's own recording is over.
  const auto over = [&](BatchInstallment& installment) {
    if (installment.outcome == RecordingOutcome::kRecorded) {
      recorded.push_back(&installment);
    } else {
      events.settled(installment);
    }
    events.tried();
  };
  // Where the database nests no transaction, the group opens none and each
  // installment is only its own.
  Transaction transaction(db);
  const Status begun = transaction.BeginGroup();
  for (size_t first = 0; first < chunk.size(); first += kLockedAtOnce) {
    const auto hundred = chunk.subspan(first, std::min(chunk.size() - first, kLockedAtOnce));
    // Locked together only inside the group: without it the locks would go
    // before the installments are recorded.
    const std::optional<std::map<std::string, RowSet>> locked =
        transaction.is_open() ? LockTogether(db, dialect, hundred) : std::nullopt;
    std::vector<Waiting> waiting;
    for (BatchInstallment* installment : hundred) {
      RunContext& ctx = *installment->ctx;
      if (!begun.ok()) {
        ReportError(*ctx.messages, begun.error(), "");
        installment->outcome = RecordingOutcome::kFailed;
      } else if (const auto row = locked ? locked->find(InstallmentRowKey(ctx.key))
                                         : std::map<std::string, RowSet>::const_iterator();
                 !locked || row == locked->end()) {
        // Not locked with the others, or not found as its line names it (in
        // another case, or gone): it locks and reads its own row.
        installment->outcome = RecordPrintedBoleto(ctx, *installment->printed, amount_due_now);
      } else {
        CheckedRecording checked =
            CheckLockedBoleto(ctx, *installment->printed, row->second, amount_due_now);
        if (auto* writes = std::get_if<InstallmentWrites>(&checked)) {
          waiting.push_back({installment, &row->second, {&ctx, std::move(*writes)}});
          continue;
        }
        installment->outcome = std::get<RecordingOutcome>(checked);
      }
      over(*installment);
    }
    // The writes of the hundred together: a few statements instead of three
    // or more and a savepoint for each installment.
    std::vector<CheckedInstallment*> checked;
    for (Waiting& w : waiting) checked.push_back(&w.checked);
    WriteTogether(db, dialect, checked);
    for (const Waiting& w : waiting) {
      w.installment->outcome =
          w.checked.written ? RecordingOutcome::kRecorded
                            : RecordLockedBoleto(*w.installment->ctx, *w.installment->printed,
                                                 *w.locked, amount_due_now);
      over(*w.installment);
    }
  }
  const Status committed = begun.ok() ? transaction.Commit() : begun;
  for (BatchInstallment* installment : recorded) {
    if (!committed.ok()) {
      ReportError(*installment->ctx->messages, committed.error(), "");
      installment->ctx->messages->Show(kNotRecordedMessage, MessageIcon::kExclamation);
      installment->outcome = RecordingOutcome::kFailed;
    }
    events.settled(*installment);
  }
  for (BatchInstallment* installment : chunk) {
    if (installment->kept != nullptr) installment->ctx = nullptr;
  }
}

}  // namespace

BankSettings AccountSettings(const RunContext& ctx) {
  BankSettings account = ctx.bank;
  account.tipo_empresa.clear();
  account.codigo_empresa.clear();
  return account;
}

KeptInstallment KeepForRecording(const RunContext& ctx,
                                 std::shared_ptr<const BankSettings> account) {
  return {.db = ctx.db,
          .dialect = ctx.dialect,
          .decimal_mark = ctx.decimal_mark,
          .messages = ctx.messages,
          .key = ctx.key,
          .codigo_emp = ctx.params.codigo_emp,
          .matr_sel = ctx.params.matr_sel,
          .moeda_padrao = ctx.company.moeda_padrao,
          .message_prefix = ctx.message_prefix,
          .bank = std::move(account),
          .tipo_empresa = ctx.bank.tipo_empresa,
          .codigo_empresa = ctx.bank.codigo_empresa};
}

RunContext RecordingContext(const KeptInstallment& kept) {
  RunContext ctx;
  ctx.db = kept.db;
  ctx.dialect = kept.dialect;
  ctx.decimal_mark = kept.decimal_mark;
  ctx.messages = kept.messages;
  ctx.key = kept.key;
  ctx.params.codigo_emp = kept.codigo_emp;
  ctx.params.matr_sel = kept.matr_sel;
  ctx.company.moeda_padrao = kept.moeda_padrao;
  ctx.message_prefix = kept.message_prefix;
  ctx.bank = *kept.bank;
  ctx.bank.tipo_empresa = kept.tipo_empresa;
  ctx.bank.codigo_empresa = kept.codigo_empresa;
  return ctx;
}

std::string InstallmentRowKey(const InstallmentKey& key) {
  std::string joined;
  for (std::string_view part :
       {std::string_view(key.codigo_emp), std::string_view(key.codigo_unidade),
        std::string_view(key.codigo_documento), std::string_view(key.serie),
        std::string_view(key.numero), std::string_view(key.parcela)}) {
    joined += TrimRightBlanks(part);
    joined += '\x1f';  // no key column holds it
  }
  return joined;
}

Result<std::map<std::string, RowSet>> LockInstallments(Database& db, Dialect dialect,
                                                       const std::vector<InstallmentKey>& keys) {
  std::map<SeriesKey, std::set<std::string>> by_series;
  std::set<std::string> wanted;
  for (const InstallmentKey& key : keys) {
    by_series[SeriesOf(key)].insert(key.numero);
    wanted.insert(InstallmentRowKey(key));
  }
  std::map<std::string, RowSet> locked;
  LockDeadline deadline(db);
  for (const auto& [series, numbers] : by_series) {
    // The documents first, then their installments, as a single run locks.
    BOLETO_RETURN_IF_ERROR(db.Execute("UPDATE DOCUMENTOR SET Status = Status WHERE " +
                                      SeriesWhere(series, numbers, "DOCUMENTOR."))
                               .status());
    BOLETO_RETURN_IF_ERROR(
        db.Execute("UPDATE PARCELAR SET DoctoRecebimento = DoctoRecebimento WHERE " +
                   SeriesWhere(series, numbers, ""))
            .status());
    BOLETO_ASSIGN_OR_RETURN(RowSet rows, db.Query(LockedSeriesSql(dialect, series, numbers)));
    for (rows.MoveFirst(); !rows.eof(); rows.MoveNext()) {
      BOLETO_ASSIGN_OR_RETURN(const InstallmentKey key, RowKey(rows));
      // Another installment of the same documents: locked, not wanted.
      if (!wanted.contains(InstallmentRowKey(key))) continue;
      RowSet::Row row;
      for (const std::string& column : rows.columns()) {
        BOLETO_ASSIGN_OR_RETURN(std::optional<std::string> value, rows.Value(column));
        row.push_back(std::move(value));
      }
      locked.emplace(InstallmentRowKey(key), RowSet(rows.columns(), {std::move(row)}));
    }
  }
  return locked;
}

void RecordBatch(std::span<BatchInstallment> installments, const AmountDueNow& amount_due_now,
                 const BatchRecordingEvents& events) {
  // Per connection and dialect, in the order given.
  std::map<std::pair<Database*, Dialect>, std::vector<BatchInstallment*>> by_connection;
  for (BatchInstallment& installment : installments) {
    const auto connection = installment.ctx != nullptr
                                ? std::pair(installment.ctx->db, installment.ctx->dialect)
                                : std::pair(installment.kept->db, installment.kept->dialect);
    by_connection[connection].push_back(&installment);
  }
  for (auto& [connection, members] : by_connection) {
    for (size_t first = 0; first < members.size(); first += kRecordsPerTransaction) {
      const size_t count = std::min(members.size() - first, kRecordsPerTransaction);
      RecordTransaction(*connection.first, connection.second,
                        std::span(members).subspan(first, count), amount_due_now, events);
    }
  }
}

}  // namespace boleto
